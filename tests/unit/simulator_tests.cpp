#include <windows.h>
#include <gtest/gtest.h>
#include <climits>
#include <cstring>

#include "pipe_protocol.h"
#include "scanctl_parse.h"
#include "sim_state.h"

// --- framing and requests ---------------------------------------------------

TEST(PipeFraming, LengthIsLittleEndianAndBounded)
{
    unsigned char header[4];
    DWORD length = 0;

    EncodeFrameLength(0x00A0B0C0, header);
    EXPECT_EQ(0xC0, header[0]);
    EXPECT_EQ(0xB0, header[1]);
    EXPECT_EQ(0xA0, header[2]);
    EXPECT_EQ(0x00, header[3]);
    ASSERT_TRUE(DecodeFrameLength(header, &length));
    EXPECT_EQ(0x00A0B0C0u, length);

    EncodeFrameLength(SIM_MAX_FRAME, header);
    EXPECT_TRUE(DecodeFrameLength(header, &length));
    EncodeFrameLength(SIM_MAX_FRAME + 1, header);
    EXPECT_FALSE(DecodeFrameLength(header, &length));
}

TEST(PipeFraming, FramesSurviveAPipeIntact)
{
    HANDLE read_end, write_end;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, NULL, 1 << 20));
    const std::string binary("a\0b\n\xff", 5);
    std::string big(100000, 'x');
    std::string got;

    ASSERT_TRUE(WriteFrame(write_end, binary));
    ASSERT_TRUE(WriteFrame(write_end, ""));
    ASSERT_TRUE(WriteFrame(write_end, big));
    ASSERT_TRUE(ReadFrame(read_end, &got));
    EXPECT_EQ(binary, got);
    ASSERT_TRUE(ReadFrame(read_end, &got));
    EXPECT_EQ("", got);
    ASSERT_TRUE(ReadFrame(read_end, &got));
    EXPECT_EQ(big, got);
    CloseHandle(write_end);
    CloseHandle(read_end);
}

TEST(PipeFraming, TruncatedFrameFails)
{
    HANDLE read_end, write_end;
    DWORD written;
    unsigned char header[4];
    std::string got;

    ASSERT_TRUE(CreatePipe(&read_end, &write_end, NULL, 0));
    EncodeFrameLength(10, header);
    WriteFile(write_end, header, sizeof(header), &written, NULL);
    WriteFile(write_end, "abc", 3, &written, NULL);
    CloseHandle(write_end);
    EXPECT_FALSE(ReadFrame(read_end, &got));
    CloseHandle(read_end);
}

TEST(PipeRequest, PayloadFollowsTheFirstNewlineVerbatim)
{
    std::string command, payload;
    const std::string bytes("line1\nline2\0end", 15);

    SplitRequest(BuildRequest("decode qr", bytes), &command, &payload);
    EXPECT_EQ("decode qr", command);
    EXPECT_EQ(bytes, payload);

    SplitRequest(BuildRequest("decode dm", ""), &command, &payload);
    EXPECT_EQ("decode dm", command);
    EXPECT_EQ("", payload);

    payload = "stale";
    SplitRequest("state", &command, &payload);
    EXPECT_EQ("state", command);
    EXPECT_EQ("", payload);
}

TEST(PipeRequest, SymbologyNamesRoundTrip)
{
    Symbology sym;

    for (int i = 0; i < SYM_COUNT; i++)
    {
        ASSERT_TRUE(ParseSymbology(SymbologyName((Symbology)i), &sym));
        EXPECT_EQ(i, sym);
    }
    EXPECT_FALSE(ParseSymbology("QR", &sym));
    EXPECT_FALSE(ParseSymbology("", &sym));
}

TEST(PipeRequest, ParseIntIsStrict)
{
    int value = 0;

    EXPECT_TRUE(ParseInt("-7", &value));
    EXPECT_EQ(-7, value);
    EXPECT_TRUE(ParseInt("+2", &value));
    EXPECT_EQ(2, value);
    EXPECT_TRUE(ParseInt("2147483647", &value));
    EXPECT_EQ(INT_MAX, value);
    EXPECT_TRUE(ParseInt("-2147483648", &value));
    EXPECT_EQ(INT_MIN, value);
    for (const char *bad : { "", "-", "2147483648", "-2147483649", "99999999999999999999",
                             "1x", " 1", "0x10", "auto" })
        EXPECT_FALSE(ParseInt(bad, &value)) << bad;
}

// --- scanctl command syntax -------------------------------------------------

TEST(ScanctlHex, AcceptsOnlyPairsOfHexDigits)
{
    std::string bytes;

    ASSERT_TRUE(ParseHex("00fFa0E4", &bytes));
    EXPECT_EQ(std::string("\x00\xff\xa0\xe4", 4), bytes);
    ASSERT_TRUE(ParseHex("", &bytes));
    EXPECT_EQ("", bytes);
    for (const char *bad : { "a", "abc", "0g", "0x41", "41 42", "4-" })
        EXPECT_FALSE(ParseHex(bad, &bytes)) << bad;
}

TEST(ScanctlArgs, DecodeVariants)
{
    CtlCommand cmd;
    std::string error;

    ASSERT_TRUE(ParseCtlArgs({ "decode", "pdf417", "a b" }, &cmd, &error));
    EXPECT_EQ(CTL_DECODE, cmd.kind);
    EXPECT_EQ(SYM_PDF417, cmd.sym);
    EXPECT_EQ("a b", cmd.arg);
    EXPECT_EQ(std::string("decode pdf417\na b"), CtlRequest(cmd));

    ASSERT_TRUE(ParseCtlArgs({ "decode", "qr", "" }, &cmd, &error));
    EXPECT_EQ("", cmd.arg);
    EXPECT_EQ("decode qr\n", CtlRequest(cmd));

    ASSERT_TRUE(ParseCtlArgs({ "decode-hex", "dm", "e4b8ad" }, &cmd, &error));
    EXPECT_EQ(CTL_DECODE, cmd.kind);
    EXPECT_EQ("\xe4\xb8\xad", cmd.arg);

    // No text and no payload: the request says which symbology and nothing else.
    ASSERT_TRUE(ParseCtlArgs({ "decode-null", "dm" }, &cmd, &error));
    EXPECT_EQ(CTL_DECODE_NULL, cmd.kind);
    EXPECT_EQ(SYM_DM, cmd.sym);
    EXPECT_EQ("decode-null dm", CtlRequest(cmd));

    ASSERT_TRUE(ParseCtlArgs({ "decode-file", "barcode", "C:\\x y.bin" }, &cmd, &error));
    EXPECT_EQ(CTL_DECODE_FILE, cmd.kind);
    EXPECT_EQ(SYM_BARCODE, cmd.sym);
    EXPECT_EQ("C:\\x y.bin", cmd.arg);
}

TEST(ScanctlArgs, UsageErrors)
{
    CtlCommand cmd;
    std::string error;
    const std::vector<std::vector<std::string>> bad = {
        {},
        { "scan" },
        { "decode", "qr" },
        { "decode", "qr", "a", "b" },
        { "decode", "ean", "x" },
        { "decode-hex", "qr", "abc" },
        { "decode-file", "qr", "" },
        { "start-result" },
        { "start-result", "yes" },
        { "device-result" },
        { "device-result", "-" },
        { "device-result", "1", "2" },
        { "decode-null" },
        { "decode-null", "ean" },
        { "decode-null", "qr", "" },
        { "state", "now" },
        { "quit", "1" },
    };

    for (const auto &args : bad)
    {
        error.clear();
        EXPECT_FALSE(ParseCtlArgs(args, &cmd, &error)) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(error.empty());
    }
}

TEST(ScanctlArgs, ControlCommandsMapToRequests)
{
    CtlCommand cmd;
    std::string error;

    ASSERT_TRUE(ParseCtlArgs({ "start-result", "-3" }, &cmd, &error));
    EXPECT_EQ("start-result -3", CtlRequest(cmd));
    ASSERT_TRUE(ParseCtlArgs({ "start-result", "auto" }, &cmd, &error));
    EXPECT_EQ("start-result auto", CtlRequest(cmd));
    ASSERT_TRUE(ParseCtlArgs({ "device-result", "2147483647" }, &cmd, &error));
    EXPECT_EQ(CTL_DEVICE_RESULT, cmd.kind);
    EXPECT_EQ("device-result 2147483647", CtlRequest(cmd));
    ASSERT_TRUE(ParseCtlArgs({ "device-result", "auto" }, &cmd, &error));
    EXPECT_EQ("device-result auto", CtlRequest(cmd));
    EXPECT_FALSE(ParseCtlArgs({ "device-result", "0x7fffffff" }, &cmd, &error));
    EXPECT_EQ("device-result needs an integer or 'auto'", error);
    for (const char *verb : { "unplug", "plug", "quit", "state", "journal" })
    {
        ASSERT_TRUE(ParseCtlArgs({ verb }, &cmd, &error)) << verb;
        EXPECT_EQ(verb, CtlRequest(cmd));
    }
    ASSERT_TRUE(ParseCtlArgs({ "batch" }, &cmd, &error));
    EXPECT_EQ(CTL_BATCH, cmd.kind);
}

TEST(ScanctlBatch, DecodeTextIsTheRestOfTheLine)
{
    CtlCommand cmd;
    std::string error;

    ASSERT_TRUE(ParseBatchLine("decode qr  two  spaces ", &cmd, &error));
    EXPECT_EQ(" two  spaces ", cmd.arg);
    ASSERT_TRUE(ParseBatchLine("decode dm ", &cmd, &error));
    EXPECT_EQ(SYM_DM, cmd.sym);
    EXPECT_EQ("", cmd.arg);
    ASSERT_TRUE(ParseBatchLine("decode-hex qr ", &cmd, &error));
    EXPECT_EQ("", cmd.arg);
    ASSERT_TRUE(ParseBatchLine("decode-file qr /tmp/a b", &cmd, &error));
    EXPECT_EQ("/tmp/a b", cmd.arg);

    EXPECT_FALSE(ParseBatchLine("decode qr", &cmd, &error));
    EXPECT_FALSE(ParseBatchLine("decode", &cmd, &error));
    EXPECT_FALSE(ParseBatchLine("decode  qr x", &cmd, &error));
    EXPECT_FALSE(ParseBatchLine("decode-hex qr 4 1", &cmd, &error));
}

TEST(ScanctlBatch, OtherCommandsSplitOnBlanks)
{
    CtlCommand cmd;
    std::string error;

    ASSERT_TRUE(ParseBatchLine("  start-result\t 5 ", &cmd, &error));
    EXPECT_EQ("start-result 5", CtlRequest(cmd));
    ASSERT_TRUE(ParseBatchLine("state", &cmd, &error));
    EXPECT_EQ(CTL_STATE, cmd.kind);
    ASSERT_TRUE(ParseBatchLine("decode-null\tpdf417 ", &cmd, &error));
    EXPECT_EQ("decode-null pdf417", CtlRequest(cmd));
    ASSERT_TRUE(ParseBatchLine(" device-result -2", &cmd, &error));
    EXPECT_EQ("device-result -2", CtlRequest(cmd));
    EXPECT_FALSE(ParseBatchLine("decode-null qr text", &cmd, &error));
    EXPECT_FALSE(ParseBatchLine("decode-null", &cmd, &error));
    EXPECT_FALSE(ParseBatchLine("state x", &cmd, &error));
    EXPECT_FALSE(ParseBatchLine("batch", &cmd, &error));
    EXPECT_FALSE(error.empty());
}

// --- simulated device -------------------------------------------------------

TEST(SimDevice, StartFollowsAttachmentUnlessOverridden)
{
    SimState s;

    SimInit(&s, true, false, 0);
    EXPECT_EQ(0, SimGetDevice(&s));
    EXPECT_EQ(1, SimStartDevice(&s));
    EXPECT_TRUE(s.started);

    SimInit(&s, false, false, 0);
    EXPECT_EQ(-1, SimGetDevice(&s));
    EXPECT_EQ(0, SimStartDevice(&s));
    EXPECT_FALSE(s.started);

    // No scanner, yet the engine claims success: the device counts as started.
    SimInit(&s, false, true, 2);
    EXPECT_EQ(2, SimStartDevice(&s));
    EXPECT_TRUE(s.started);

    SimInit(&s, true, true, 0);
    EXPECT_EQ(0, SimStartDevice(&s));
    EXPECT_FALSE(s.started);
}

TEST(SimDevice, ReleaseAndUnplugStopTheDevice)
{
    SimState s;

    SimInit(&s, true, false, 0);
    SimStartDevice(&s);
    SimRelease(&s);
    EXPECT_FALSE(s.started);

    SimStartDevice(&s);
    EXPECT_EQ("ok", SimControl(&s, "unplug"));
    EXPECT_FALSE(s.attached);
    EXPECT_FALSE(s.started);
    EXPECT_EQ(-1, SimGetDevice(&s));
    EXPECT_EQ("ok", SimControl(&s, "plug"));
    EXPECT_EQ(0, SimGetDevice(&s));
    EXPECT_FALSE(s.started);
}

TEST(SimDevice, DecodeRefusalsInOrder)
{
    SimState s;

    SimInit(&s, true, false, 0);
    EXPECT_EQ("device not started", SimDecodeRefusal(&s, SYM_QR));
    s.enabled[SYM_QR] = 1;
    EXPECT_EQ("device not started", SimDecodeRefusal(&s, SYM_QR));
    SimStartDevice(&s);
    EXPECT_EQ("", SimDecodeRefusal(&s, SYM_QR));
    EXPECT_EQ("barcode disabled", SimDecodeRefusal(&s, SYM_BARCODE));
    s.enabled[SYM_BARCODE] = 2;
    EXPECT_EQ("", SimDecodeRefusal(&s, SYM_BARCODE));
}

// Inside a decode message the program has not answered, the engine takes
// only symbologies switched off; outside one, or after the answer, anything.
TEST(SimDevice, CallsFromInsideAnUnansweredDecodeReenterTheEngine)
{
    SimState s;

    SimInit(&s, true, false, 0);
    const struct {
        int unanswered;
        bool in_send;
        const char *name;
        int arg;
        bool reentered;
    } cases[] = {
        { 1, true, "setQRable", 0, false },     { 1, true, "setPDF417", 0, false },
        { 1, true, "setQRable", 1, true },      { 1, true, "ReleaseDevice", 1, true },
        { 1, true, "GetDevice", 1, true },      { 1, true, "StartDevice", 1, true },
        { 1, true, "SetBeep", 0, true },        { 1, false, "ReleaseDevice", 1, false },
        { 0, true, "ReleaseDevice", 1, false }, { 2, true, "ReleaseLostDevice", 1, true },
    };
    for (const auto &c : cases)
    {
        s.unanswered = c.unanswered;
        EXPECT_EQ(c.reentered, SimReentered(&s, c.in_send, c.name, c.arg))
            << c.name << " " << c.arg << ", " << c.unanswered << " unanswered, in a send: " << c.in_send;
    }
}

// A decode is over for the engine once it may decode again: the program
// never silenced it, switched on again all it had on, or some and then
// nothing for a while, or the device stopped.
TEST(SimDevice, ADecodeIsOverOnceTheEngineListensAgain)
{
    SimState s;
    const long long settle = 100;

    SimInit(&s, true, false, 0);
    SimStartDevice(&s);
    SimSetSymbology(&s, SYM_QR, 1, 5);
    SimSetSymbology(&s, SYM_DM, 1, 5);
    int before_on[SYM_COUNT];
    memcpy(before_on, s.enabled, sizeof(before_on));
    EXPECT_TRUE(SimDecodeOver(&s, SYM_QR, s.switch_ons, before_on, 5, settle));   // left on
    SimSetSymbology(&s, SYM_QR, 0, 6);
    SimSetSymbology(&s, SYM_DM, 0, 6);
    unsigned long before = s.switch_ons;
    EXPECT_FALSE(SimDecodeOver(&s, SYM_QR, before, before_on, 6, settle));
    SimSetSymbology(&s, SYM_QR, 1, 7);   // the first of the program's calls
    EXPECT_FALSE(SimDecodeOver(&s, SYM_QR, before, before_on, 8, settle));
    SimSetSymbology(&s, SYM_DM, 1, 9);
    EXPECT_TRUE(SimDecodeOver(&s, SYM_QR, before, before_on, 9, settle));
    SimSetSymbology(&s, SYM_QR, 0, 10);
    SimSetSymbology(&s, SYM_DM, 0, 10);
    before = s.switch_ons;
    SimSetSymbology(&s, SYM_DM, 1, 11);   // QR stays off, as the user switched it
    EXPECT_FALSE(SimDecodeOver(&s, SYM_QR, before, before_on, 50, settle));
    EXPECT_TRUE(SimDecodeOver(&s, SYM_QR, before, before_on, 11 + settle, settle));
    EXPECT_EQ(11, s.switched_on_at);
    SimSetSymbology(&s, SYM_DM, 0, 12);
    before = s.switch_ons;
    SimRelease(&s);
    EXPECT_TRUE(SimDecodeOver(&s, SYM_QR, before, before_on, 12, settle));
}

TEST(SimDevice, DeviceResultOverridesAttachment)
{
    SimState s;

    SimInit(&s, false, false, 0);
    EXPECT_FALSE(s.device_override_set);
    for (int value : { 5, -2, 0x7fffffff, INT_MIN, -1, 0 })
    {
        EXPECT_EQ("ok", SimControl(&s, "device-result " + std::to_string(value)));
        EXPECT_EQ(value, SimGetDevice(&s));
    }
    // Plugging and unplugging change the device, not what GetDevice is made to say.
    EXPECT_EQ("ok", SimControl(&s, "device-result 7"));
    SimControl(&s, "plug");
    EXPECT_EQ(7, SimGetDevice(&s));
    SimControl(&s, "unplug");
    EXPECT_EQ(7, SimGetDevice(&s));
    EXPECT_EQ("ok", SimControl(&s, "device-result auto"));
    EXPECT_EQ(-1, SimGetDevice(&s));
    SimControl(&s, "plug");
    EXPECT_EQ(0, SimGetDevice(&s));

    // Nor does it start anything: StartDevice still follows the attachment.
    SimInit(&s, false, false, 0);
    SimControl(&s, "device-result 3");
    EXPECT_EQ(0, SimStartDevice(&s));
    EXPECT_FALSE(s.started);
}

TEST(SimDevice, OverridesParseLikeTheIniAndPipeGiveThem)
{
    bool set = true;
    int value = 42;

    EXPECT_TRUE(SimParseOverride("auto", &set, &value));
    EXPECT_FALSE(set);
    EXPECT_TRUE(SimParseOverride("-2147483648", &set, &value));
    EXPECT_TRUE(set);
    EXPECT_EQ(INT_MIN, value);
    for (const char *bad : { "", "AUTO", "0x10", "5 ", "2147483648" })
    {
        set = false;
        value = 9;
        EXPECT_FALSE(SimParseOverride(bad, &set, &value)) << bad;
        EXPECT_FALSE(set) << bad;
        EXPECT_EQ(9, value) << bad;
    }
}

TEST(SimControl, StartResultOverride)
{
    SimState s;

    SimInit(&s, false, false, 0);
    EXPECT_EQ("ok", SimControl(&s, "start-result 1"));
    EXPECT_EQ(1, SimStartDevice(&s));
    EXPECT_EQ("ok", SimControl(&s, "start-result auto"));
    EXPECT_EQ(0, SimStartDevice(&s));
    EXPECT_EQ("error: bad start-result '1.5'", SimControl(&s, "start-result 1.5"));
    EXPECT_FALSE(s.start_override_set);
    EXPECT_EQ("error: bad device-result ''", SimControl(&s, "device-result"));
    EXPECT_FALSE(s.device_override_set);
    EXPECT_EQ("error: unknown command frob", SimControl(&s, "frob 1"));
    EXPECT_EQ(0u, SimControl(&s, "plug in").find("error: "));
}

TEST(SimControl, StateAndJournalText)
{
    SimState s;

    SimInit(&s, true, true, -4);
    s.window = (HWND)(ULONG_PTR)0x1002a;
    s.enabled[SYM_DM] = 1;
    s.beep = 1;
    s.beep_time = 50;
    s.decode_time = 300;
    EXPECT_EQ("attached 1\nstarted 0\nstart-result -4\ndevice-result auto\n"
              "qr 0\ndm 1\nbarcode 0\npdf417 0\n"
              "beep 1\nbeep-time 50\ndecode-time 300\nwindow 0x0001002A",
              SimControl(&s, "state"));
    SimControl(&s, "device-result -2");
    EXPECT_NE(std::string::npos, SimControl(&s, "state").find("\ndevice-result -2\n"));

    EXPECT_EQ("", SimControl(&s, "journal"));
    EXPECT_EQ("GetAppHandle 0x0001002A\n", SimJournal(&s, "GetAppHandle", s.window));
    EXPECT_EQ("StartDevice\n", SimJournal(&s, "StartDevice"));
    EXPECT_EQ("SetBeepTime -1\n", SimJournal(&s, "SetBeepTime", -1));
    EXPECT_EQ("GetAppHandle 0x0001002A\nStartDevice\nSetBeepTime -1",
              SimControl(&s, "journal"));
}
