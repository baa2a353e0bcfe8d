// The workbook: the smallest set of parts a spreadsheet opens, in a zip of
// our own. Texts are inline strings, so no code is ever read as a number
// or a formula; the time is a number with a date-time format.
#include <windows.h>
#include <stdio.h>

#include "export.h"
#include "record.h"
#include "zipwriter.h"

namespace {

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "</Types>";

const char kRootRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";

const char kWorkbook[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"Norza\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";

const char kWorkbookRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/></Relationships>";

// Style 1: the date and time; style 2: the header, bold.
const char kStyles[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd hh:mm:ss\"/></numFmts>"
    "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
    "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"3\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
    "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "</styleSheet>";

// A text as XML character data. XML cannot hold most control characters:
// they go as _xHHHH_, as spreadsheets write them, and an underscore that
// would read as such an escape is escaped itself.
void AppendXmlText(std::string& out, const std::wstring& str)
{
    for (size_t i = 0; i < str.size(); ++i) {
        unsigned ch = str[i];
        bool bEscapeLike = ch == L'_' && i + 6 < str.size() && str[i + 1] == L'x' && str[i + 6] == L'_';
        if ((ch < 0x20 && ch != L'\t' && ch != L'\n' && ch != L'\r') || ch == 0xFFFE || ch == 0xFFFF ||
            bEscapeLike) {
            char szEscape[16];
            wsprintfA(szEscape, "_x%04X_", ch);
            out += szEscape;
            continue;
        }
        switch (ch) {
        case L'&': out += "&amp;"; continue;
        case L'<': out += "&lt;"; continue;
        case L'>': out += "&gt;"; continue;
        case L'\r': out += "&#13;"; continue;
        default: break;
        }
        if (ch < 0x80) {
            out += (char)ch;
            continue;
        }
        // A surrogate pair goes as one character; a lone half as U+FFFD.
        unsigned code = ch;
        if (IS_HIGH_SURROGATE(ch) && i + 1 < str.size() && IS_LOW_SURROGATE(str[i + 1]))
            code = 0x10000 + ((ch - 0xD800) << 10) + (str[++i] - 0xDC00);
        else if (ch >= 0xD800 && ch <= 0xDFFF)
            code = 0xFFFD;
        if (code < 0x800) {
            out += (char)(0xC0 | (code >> 6));
        } else if (code < 0x10000) {
            out += (char)(0xE0 | (code >> 12));
            out += (char)(0x80 | ((code >> 6) & 0x3F));
        } else {
            out += (char)(0xF0 | (code >> 18));
            out += (char)(0x80 | ((code >> 12) & 0x3F));
            out += (char)(0x80 | ((code >> 6) & 0x3F));
        }
        out += (char)(0x80 | (code & 0x3F));
    }
}

std::string ColumnName(size_t nColumn)
{
    std::string name;
    for (size_t n = nColumn + 1; n; n = (n - 1) / 26)
        name.insert(name.begin(), (char)('A' + (n - 1) % 26));
    return name;
}

// The cell's reference: its column's letters and its row's number.
void AppendReference(std::string& out, size_t nColumn, size_t nRow)
{
    char szRow[16];
    out += ColumnName(nColumn);
    out.append(szRow, sprintf(szRow, "%u", (unsigned)nRow));
}

void AppendTextCell(std::string& out, size_t nColumn, size_t nRow, const std::wstring& str, bool bHeader)
{
    out += "<c r=\"";
    AppendReference(out, nColumn, nRow);
    out += bHeader ? "\" s=\"2\" t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                   : "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">";
    AppendXmlText(out, str);
    out += "</t></is></c>";
}

// 1899-12-30 is 109205 days before 1601-01-01, where FILETIME begins; a
// workbook's dates run from 1900-01-01 to 9999-12-31.
const unsigned long long kDay = 864000000000ULL;
const unsigned long long kFirstDay = 109205ULL + 2, kLastDay = 109205ULL + 2958465ULL;

// Days since 1899-12-30 in local time, as spreadsheets count them; "" when
// out of the range a workbook holds.
std::string SerialDate(unsigned long long nTime)
{
    unsigned long long nLocal = LocalFileTimeOf(nTime);
    unsigned long long nDays = nLocal / kDay, nRest = nLocal % kDay;
    if (nDays < kFirstDay || nDays > kLastDay)
        return std::string();
    char szValue[32];
    // Whole seconds: ten digits after the point hold them exactly.
    unsigned long long nSeconds = nRest / 10000000ULL;
    sprintf(szValue, "%llu.%010llu", nDays - 109205ULL, (nSeconds * 10000000000ULL + 43200) / 86400ULL);
    return szValue;
}

std::string Sheet(const ExportTable& table)
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<sheetViews><sheetView workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" "
        "state=\"frozen\"/></sheetView></sheetViews>"
        "<cols><col min=\"1\" max=\"1\" width=\"20\" customWidth=\"1\"/>"
        "<col min=\"2\" max=\"8\" width=\"24\" customWidth=\"1\"/></cols><sheetData>";
    out.reserve(out.size() + table.rows.size() * 320);
    out += "<row r=\"1\">";
    for (size_t i = 0; i < table.header.size(); ++i)
        AppendTextCell(out, i, 1, table.header[i], true);
    out += "</row>";
    for (size_t nRow = 0; nRow < table.rows.size(); ++nRow) {
        const ExportRow& row = table.rows[nRow];
        std::string strDate = SerialDate(row.nTime);
        out += "<row>";
        if (strDate.empty()) {
            AppendTextCell(out, 0, nRow + 2, ExportTimeText(row.nTime), false);
        } else {
            out += "<c r=\"";
            AppendReference(out, 0, nRow + 2);
            out += "\" s=\"1\"><v>";
            out += strDate;
            out += "</v></c>";
        }
        for (size_t i = 0; i < row.texts.size(); ++i)
            AppendTextCell(out, i + 1, nRow + 2, row.texts[i], false);
        out += "</row>";
    }
    return out + "</sheetData></worksheet>";
}

}  // namespace

std::string XlsxData(const ExportTable& table)
{
    CZipWriter zip;
    if (!zip.Add("[Content_Types].xml", kContentTypes) || !zip.Add("_rels/.rels", kRootRels) ||
        !zip.Add("xl/workbook.xml", kWorkbook) || !zip.Add("xl/_rels/workbook.xml.rels", kWorkbookRels) ||
        !zip.Add("xl/styles.xml", kStyles) || !zip.Add("xl/worksheets/sheet1.xml", Sheet(table)))
        return std::string();
    return zip.Finish();
}
