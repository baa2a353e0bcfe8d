#include "scanctl_parse.h"

struct SimpleVerb
{
    const char *name;
    CtlKind kind;
};

static const SimpleVerb simple_verbs[] = {
    { "unplug", CTL_UNPLUG },
    { "plug", CTL_PLUG },
    { "quit", CTL_QUIT },
    { "state", CTL_STATE },
    { "journal", CTL_JOURNAL },
    { "memory", CTL_MEMORY },
    { "batch", CTL_BATCH },
};

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string &hex, std::string *bytes)
{
    if (hex.size() % 2)
        return false;
    bytes->clear();
    for (size_t i = 0; i < hex.size(); i += 2)
    {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        *bytes += (char)(high * 16 + low);
    }
    return true;
}

static bool ParseDecode(const std::vector<std::string> &args, CtlCommand *cmd,
                        std::string *error)
{
    const std::string &verb = args[0];

    if (args.size() != 3)
    {
        *error = verb + " needs a symbology and one " +
                 (verb == "decode" ? "text" : verb == "decode-hex" ? "hex" : "file") +
                 " argument";
        return false;
    }
    if (!ParseSymbology(args[1], &cmd->sym))
    {
        *error = "unknown symbology '" + args[1] + "' (qr, dm, barcode, pdf417)";
        return false;
    }
    cmd->kind = verb == "decode-file" ? CTL_DECODE_FILE : CTL_DECODE;
    cmd->arg = args[2];
    if (verb == "decode-hex" && !ParseHex(args[2], &cmd->arg))
    {
        *error = "bad hex '" + args[2] + "' (want an even number of hex digits)";
        return false;
    }
    if (verb == "decode-file" && args[2].empty())
    {
        *error = "decode-file needs a file name";
        return false;
    }
    return true;
}

static bool ParseDecodeNull(const std::vector<std::string> &args, CtlCommand *cmd,
                            std::string *error)
{
    if (args.size() != 2)
    {
        *error = "decode-null needs a symbology and nothing else";
        return false;
    }
    if (!ParseSymbology(args[1], &cmd->sym))
    {
        *error = "unknown symbology '" + args[1] + "' (qr, dm, barcode, pdf417)";
        return false;
    }
    cmd->kind = CTL_DECODE_NULL;
    return true;
}

// start-result and device-result: what StartDevice or GetDevice returns.
static bool ParseResult(const std::vector<std::string> &args, CtlKind kind, CtlCommand *cmd,
                        std::string *error)
{
    int value;

    if (args.size() != 2 || (args[1] != "auto" && !ParseInt(args[1], &value)))
    {
        *error = args[0] + " needs an integer or 'auto'";
        return false;
    }
    cmd->kind = kind;
    cmd->arg = args[1];
    return true;
}

bool ParseCtlArgs(const std::vector<std::string> &args, CtlCommand *cmd, std::string *error)
{
    if (args.empty())
    {
        *error = "missing command";
        return false;
    }
    const std::string &verb = args[0];
    cmd->sym = SYM_QR;
    cmd->arg.clear();
    if (verb == "decode" || verb == "decode-hex" || verb == "decode-file")
        return ParseDecode(args, cmd, error);
    if (verb == "decode-null")
        return ParseDecodeNull(args, cmd, error);
    if (verb == "start-result")
        return ParseResult(args, CTL_START_RESULT, cmd, error);
    if (verb == "device-result")
        return ParseResult(args, CTL_DEVICE_RESULT, cmd, error);
    for (const SimpleVerb &simple : simple_verbs)
    {
        if (verb != simple.name)
            continue;
        if (args.size() != 1)
        {
            *error = verb + " takes no arguments";
            return false;
        }
        cmd->kind = simple.kind;
        return true;
    }
    *error = "unknown command '" + verb + "'";
    return false;
}

static std::vector<std::string> SplitWords(const std::string &line)
{
    std::vector<std::string> words;
    size_t pos = 0;

    for (;;)
    {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string::npos)
            return words;
        size_t end = line.find_first_of(" \t", pos);
        words.push_back(line.substr(pos, end - pos));
        pos = end;
    }
}

bool ParseBatchLine(const std::string &line, CtlCommand *cmd, std::string *error)
{
    std::vector<std::string> args;
    size_t verb_end = line.find(' ');
    std::string verb = line.substr(0, verb_end);

    if (verb_end != std::string::npos &&
        (verb == "decode" || verb == "decode-hex" || verb == "decode-file"))
    {
        size_t sym_end = line.find(' ', verb_end + 1);
        args.push_back(verb);
        args.push_back(line.substr(verb_end + 1, sym_end - verb_end - 1));
        if (sym_end != std::string::npos)
            args.push_back(line.substr(sym_end + 1));
    }
    else
        args = SplitWords(line);

    if (!ParseCtlArgs(args, cmd, error))
        return false;
    if (cmd->kind == CTL_BATCH)
    {
        *error = "batch cannot be used inside a batch";
        return false;
    }
    return true;
}

std::string CtlRequest(const CtlCommand &cmd)
{
    switch (cmd.kind)
    {
    case CTL_DECODE:
        return BuildRequest(std::string("decode ") + SymbologyName(cmd.sym), cmd.arg);
    case CTL_DECODE_NULL:
        return std::string("decode-null ") + SymbologyName(cmd.sym);
    case CTL_START_RESULT:
        return "start-result " + cmd.arg;
    case CTL_DEVICE_RESULT:
        return "device-result " + cmd.arg;
    default:
        break;
    }
    for (const SimpleVerb &simple : simple_verbs)
        if (simple.kind == cmd.kind)
            return simple.name;
    return "";
}
