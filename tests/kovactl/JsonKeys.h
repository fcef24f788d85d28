// A strict reader for the tests: whether a text is exactly one JSON object, and the dotted
// paths of its members ("kova.pid", "emsc.searched[].path"), each once, in first order.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace kovatest {

class CJsonKeys {
public:
    static bool Parse(const std::string& str, std::vector<std::string>& rKeys)
    {
        CJsonKeys reader(str, rKeys);
        return reader.Eat('{', false) && reader.Value("") && (reader.Space(), reader.m_n == str.size());
    }

private:
    CJsonKeys(const std::string& str, std::vector<std::string>& rKeys) : m_str(str), m_rKeys(rKeys) {}

    void Space() { m_n = std::min(m_str.size(), m_str.find_first_not_of(" \t\r\n", m_n)); }
    bool Eat(char ch, bool bTake = true)
    {
        Space();
        return m_n < m_str.size() && m_str[m_n] == ch && (m_n += bTake, true);
    }
    bool String()
    {
        for (Eat('"'); m_n < m_str.size() && m_str[m_n] != '"'; ++m_n)
        {
            const unsigned char ch = m_str[m_n];
            const char chEsc = ch == '\\' && ++m_n < m_str.size() ? m_str[m_n] : '\0';
            if (ch < 0x20 || (ch == '\\' && (!chEsc || !std::strchr("\"\\/bfnrtu", chEsc))))
                return false;
            for (int i = 0; chEsc == 'u' && i < 4; ++i)
                if (++m_n >= m_str.size() || !std::isxdigit(static_cast<unsigned char>(m_str[m_n])))
                    return false;
        }
        return m_n++ < m_str.size();
    }
    // The members of an object or the items of an array, after its opening bracket.
    bool Members(const std::string& strPath, bool bObject)
    {
        if (Eat(bObject ? '}' : ']'))
            return true;
        do {
            if (bObject && !Eat('"', false))
                return false;
            const size_t nKey = m_n + 1;
            if (bObject && (!String() || !Eat(':')))
                return false;
            const std::string strMember = bObject ? strPath + m_str.substr(nKey, m_str.find('"', nKey) - nKey)
                                                  : strPath.substr(0, strPath.size() - 1) + "[]";
            if (bObject && std::find(m_rKeys.begin(), m_rKeys.end(), strMember) == m_rKeys.end())
                m_rKeys.push_back(strMember);
            if (!Value(strMember + "."))
                return false;
        } while (Eat(','));
        return Eat(bObject ? '}' : ']');
    }
    bool Value(const std::string& strPath)
    {
        if (Eat('{') || Eat('['))
            return Members(strPath, m_str[m_n - 1] == '{');
        if (Eat('"', false))
            return String();
        for (const char* psz : {"true", "false", "null"})
            if (m_str.compare(m_n, std::strlen(psz), psz) == 0)
                return m_n += std::strlen(psz), true;
        const size_t nStart = m_n;
        while (m_n < m_str.size() && m_str[m_n] && std::strchr("-+.eE0123456789", m_str[m_n]))
            ++m_n;
        return m_n > nStart;
    }

    const std::string& m_str;
    std::vector<std::string>& m_rKeys;
    size_t m_n = 0;
};

} // namespace kovatest
