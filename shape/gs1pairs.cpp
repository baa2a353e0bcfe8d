#include "gs1pairs.h"

#include <string.h>

namespace {

// One row of the dictionary's attributes, for the AIs from pszFirst to
// pszLast (same length, in numeric order). The rules keep the dictionary's
// own words so that each row reads against it: "req=A,B+C" needs A, or B
// with C; each req= is a requirement of its own; "ex=A,B" allows neither
// beside this AI. In an AI pattern, n stands for any digit: "310n", "31nn".
struct CAiPairs {
    const char* pszFirst;
    const char* pszLast;
    const char* pszRules;
};

const char kMaker[] = "req=01,02,03,8006,8026";        // lot, dates: whose item it is

const CAiPairs kPairs[] = {
    { "01", "01", "ex=255,37" },
    { "02", "02", "ex=01,03 req=37" },
    { "03", "03", "ex=01,02,37" },
    { "10", "11", kMaker },
    { "12", "12", "req=8020" },
    { "13", "13", kMaker },
    { "15", "16", kMaker },
    { "17", "17", "req=01,02,03,255,8006,8026" },
    { "20", "20", "req=01,02,8006,8026" },
    { "21", "21", "req=01,03,8006 ex=235" },
    { "22", "22", "req=01" },
    { "235", "235", "req=01" },
    { "240", "242", "req=01,02,8006,8026" },
    { "243", "243", "req=01" },
    { "250", "250", "req=01,8006 req=21" },
    { "251", "251", "req=01,8006" },
    { "254", "254", "req=414" },
    { "255", "255", "ex=01,02,415,8006,8020,8026" },
    { "30", "30", "req=01,02" },
    // Trade measures need the item, logistic measures the unit or the item;
    // one measure in two decimal placings would contradict itself.
    { "3100", "3105", "req=01,02 ex=310n" },
    { "3110", "3115", "req=01,02 ex=311n" },
    { "3120", "3125", "req=01,02 ex=312n" },
    { "3130", "3135", "req=01,02 ex=313n" },
    { "3140", "3145", "req=01,02 ex=314n" },
    { "3150", "3155", "req=01,02 ex=315n" },
    { "3160", "3165", "req=01,02 ex=316n" },
    { "3200", "3205", "req=01,02 ex=320n" },
    { "3210", "3215", "req=01,02 ex=321n" },
    { "3220", "3225", "req=01,02 ex=322n" },
    { "3230", "3235", "req=01,02 ex=323n" },
    { "3240", "3245", "req=01,02 ex=324n" },
    { "3250", "3255", "req=01,02 ex=325n" },
    { "3260", "3265", "req=01,02 ex=326n" },
    { "3270", "3275", "req=01,02 ex=327n" },
    { "3280", "3285", "req=01,02 ex=328n" },
    { "3290", "3295", "req=01,02 ex=329n" },
    { "3300", "3305", "req=00,01 ex=330n" },
    { "3310", "3315", "req=00,01 ex=331n" },
    { "3320", "3325", "req=00,01 ex=332n" },
    { "3330", "3335", "req=00,01 ex=333n" },
    { "3340", "3345", "req=00,01 ex=334n" },
    { "3350", "3355", "req=00,01 ex=335n" },
    { "3360", "3365", "req=00,01 ex=336n" },
    { "3370", "3375", "req=01 ex=337n" },
    { "3400", "3405", "req=00,01 ex=340n" },
    { "3410", "3415", "req=00,01 ex=341n" },
    { "3420", "3425", "req=00,01 ex=342n" },
    { "3430", "3435", "req=00,01 ex=343n" },
    { "3440", "3445", "req=00,01 ex=344n" },
    { "3450", "3455", "req=00,01 ex=345n" },
    { "3460", "3465", "req=00,01 ex=346n" },
    { "3470", "3475", "req=00,01 ex=347n" },
    { "3480", "3485", "req=00,01 ex=348n" },
    { "3490", "3495", "req=00,01 ex=349n" },
    { "3500", "3505", "req=01,02 ex=350n" },
    { "3510", "3515", "req=01,02 ex=351n" },
    { "3520", "3525", "req=01,02 ex=352n" },
    { "3530", "3535", "req=00,01 ex=353n" },
    { "3540", "3545", "req=00,01 ex=354n" },
    { "3550", "3555", "req=00,01 ex=355n" },
    { "3560", "3565", "req=01,02 ex=356n" },
    { "3570", "3575", "req=01,02 ex=357n" },
    { "3600", "3605", "req=01,02 ex=360n" },
    { "3610", "3615", "req=01,02 ex=361n" },
    { "3620", "3625", "req=00,01 ex=362n" },
    { "3630", "3635", "req=00,01 ex=363n" },
    { "3640", "3645", "req=01,02 ex=364n" },
    { "3650", "3655", "req=01,02 ex=365n" },
    { "3660", "3665", "req=01,02 ex=366n" },
    { "3670", "3675", "req=00,01 ex=367n" },
    { "3680", "3685", "req=00,01 ex=368n" },
    { "3690", "3695", "req=00,01 ex=369n" },
    { "37", "37", "req=00 req=02,8026" },
    { "3900", "3909", "req=255,8020 ex=390n,391n,394n,8111" },
    { "3910", "3919", "req=8020 ex=391n" },
    { "3920", "3929", "req=01 req=30,31nn,32nn,35nn,36nn ex=392n,393n" },
    { "3930", "3939", "req=30,31nn,32nn,35nn,36nn ex=393n" },
    { "3940", "3943", "req=255 ex=394n,8111" },
    { "3950", "3955", "req=30,31nn,32nn,35nn,36nn ex=392n,393n,395n,8005" },
    { "403", "403", "req=00" },
    { "415", "415", "req=8020" },
    { "420", "420", "ex=421" },
    { "421", "421", "ex=4307" },
    { "422", "422", "req=01,02,8006,8026 ex=426" },
    { "423", "425", "req=01,02 ex=426" },
    { "426", "426", "req=01,02" },
    { "427", "427", "req=01,02 req=422" },
    // Ship-to and return-to details belong to a logistic unit.
    { "4300", "4302", "req=00" },
    { "4303", "4303", "req=4302" },
    { "4304", "4312", "req=00" },
    { "4313", "4313", "req=4312" },
    { "4314", "4326", "req=00" },
    { "4330", "4330", "req=00 ex=4331" },
    { "4331", "4331", "req=00 ex=4330" },
    { "4332", "4332", "req=00 ex=4333" },
    { "4333", "4333", "req=00 ex=4332" },
    { "7001", "7001", "req=01,02,8006,8026" },
    { "7002", "7003", "req=01,02" },
    { "7004", "7004", "req=01 req=10" },
    { "7005", "7011", "req=01,02" },
    { "7020", "7020", "req=01,8006 req=416" },
    { "7021", "7021", "req=01,8006" },
    { "7022", "7022", "req=7021" },
    { "7030", "7039", "req=01,02" },
    { "7041", "7041", "req=00" },
    { "710", "717", "req=01" },
    { "7230", "7239", "req=01,8004" },
    { "7240", "7240", "req=01,8006" },
    { "7241", "7242", "req=8017,8018" },
    { "7250", "7250", "req=8018 ex=7251" },
    { "7251", "7251", "req=8018 ex=7250" },
    { "7252", "7252", "req=8018" },
    { "7253", "7255", "req=8017,8018 ex=7256,7259" },
    { "7256", "7256", "req=8017,8018" },
    { "7257", "7257", "req=8018" },
    { "7258", "7258", "req=8018+7259" },
    { "7259", "7259", "req=8018 ex=7256" },
    { "8001", "8001", "req=01" },
    { "8005", "8005", "req=01,02" },
    { "8006", "8006", "ex=01,37" },
    { "8007", "8007", "req=415" },
    { "8008", "8008", "req=01,02" },
    { "8009", "8009", "req=00,01" },
    { "8011", "8011", "req=8010" },
    { "8012", "8012", "req=01,8006" },
    { "8014", "8014", "req=01" },
    { "8017", "8017", "ex=8018" },
    { "8018", "8018", "ex=8017" },
    { "8019", "8019", "req=8017,8018" },
    { "8020", "8020", "req=415" },
    { "8026", "8026", "req=37 ex=02,8006" },
    { "8030", "8030", "req=00,01+21,253,255,8003,8004,8006+21,8010+8011,8017,8018" },
    // A mobile device's identities belong to one serialised item.
    { "8040", "8043", "req=01+21" },
    { "8111", "8111", "req=255" },
    { "8200", "8200", "req=01" },
};

const char* FindRules(const std::string& strAi)
{
    for (const CAiPairs& row : kPairs) {
        if (strAi.size() == strlen(row.pszFirst) && strAi >= row.pszFirst && strAi <= row.pszLast)
            return row.pszRules;
    }
    return "";
}

bool Matches(const std::string& strAi, const std::string& strPattern)
{
    if (strAi.size() != strPattern.size())
        return false;
    for (size_t i = 0; i < strAi.size(); ++i) {
        if (strPattern[i] != strAi[i] && strPattern[i] != 'n')
            return false;
    }
    return true;
}

// The first element other than strAi itself whose AI fits the pattern, or NULL.
const Gs1Element* FindOther(const std::vector<Gs1Element>& elements, const std::string& strPattern,
                            const std::string& strAi)
{
    for (const Gs1Element& element : elements) {
        if (element.strAi != strAi && Matches(element.strAi, strPattern))
            return &element;
    }
    return NULL;
}

std::vector<std::string> Split(const std::string& s, char chSeparator)
{
    std::vector<std::string> parts;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = s.find(chSeparator, nStart)) != std::string::npos; nStart = nEnd + 1)
        parts.push_back(s.substr(nStart, nEnd - nStart));
    parts.push_back(s.substr(nStart));
    return parts;
}

// The values of each of the row's attributes named pszKey ("req=", "ex=").
std::vector<std::string> Attributes(const char* pszRules, const char* pszKey)
{
    std::vector<std::string> values;
    for (const std::string& strWord : Split(pszRules, ' ')) {
        if (strWord.compare(0, strlen(pszKey), pszKey) == 0)
            values.push_back(strWord.substr(strlen(pszKey)));
    }
    return values;
}

bool HasAll(const std::vector<Gs1Element>& elements, const std::string& strGroup, const std::string& strAi)
{
    for (const std::string& strPattern : Split(strGroup, '+')) {
        if (!FindOther(elements, strPattern, strAi))
            return false;
    }
    return true;
}

// "01, 02 or 8006+21" in words: "01, 02 or 8006 with 21".
std::string Alternatives(const std::vector<std::string>& groups)
{
    std::string s;
    for (size_t i = 0; i < groups.size(); ++i) {
        if (i > 0)
            s += i + 1 < groups.size() ? ", " : " or ";
        std::vector<std::string> members = Split(groups[i], '+');
        for (size_t j = 0; j < members.size(); ++j)
            s += (j > 0 ? " with " : "") + members[j];
    }
    return s;
}

std::string Excluded(const std::vector<Gs1Element>& elements)
{
    for (size_t i = 0; i < elements.size(); ++i) {
        const std::string& strAi = elements[i].strAi;
        for (const std::string& strList : Attributes(FindRules(strAi), "ex=")) {
            for (const std::string& strPattern : Split(strList, ',')) {
                const Gs1Element* pOther = FindOther(elements, strPattern, strAi);
                if (!pOther)
                    continue;
                // Named in the order they stand in the code.
                bool bFirst = &elements[i] < pOther;
                const std::string& strOne = bFirst ? strAi : pOther->strAi;
                const std::string& strTwo = bFirst ? pOther->strAi : strAi;
                return "AI " + strOne + " and AI " + strTwo + " exclude each other";
            }
        }
    }
    return std::string();
}

std::string Missing(const std::vector<Gs1Element>& elements)
{
    for (const Gs1Element& element : elements) {
        for (const std::string& strList : Attributes(FindRules(element.strAi), "req=")) {
            std::vector<std::string> groups = Split(strList, ',');
            bool bMet = false;
            for (const std::string& strGroup : groups)
                bMet = bMet || HasAll(elements, strGroup, element.strAi);
            if (!bMet)
                return "AI " + element.strAi + " requires AI " + Alternatives(groups);
        }
    }
    return std::string();
}

// A digital signature signs one instance: a key that may go without its
// serial component (GDTI, GCN, GRAI) must carry it.
std::string UnserialisedSignedKey(const std::vector<Gs1Element>& elements)
{
    static const struct { const char* pszAi; size_t nWithoutSerial; } s_keys[] = {
        { "253", 13 }, { "255", 13 }, { "8003", 14 },
    };
    if (!FindOther(elements, "8030", std::string()))
        return std::string();
    for (const Gs1Element& element : elements) {
        for (const auto& key : s_keys) {
            if (element.strAi == key.pszAi && element.strValue.size() <= key.nWithoutSerial)
                return "AI 8030 requires AI " + element.strAi + " with its serial component";
        }
    }
    return std::string();
}

}  // namespace

std::string CheckGs1Pairs(const std::vector<Gs1Element>& elements)
{
    std::string strError = Excluded(elements);
    if (strError.empty())
        strError = Missing(elements);
    return strError.empty() ? UnserialisedSignedKey(elements) : strError;
}
