// A small strict JSON reader for the tests: whether a text is one object, and the dotted
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
        reader.Space();
        return reader.At('{') && reader.Value("") && (reader.Space(), reader.m_n == str.size());
    }

private:
    CJsonKeys(const std::string& str, std::vector<std::string>& rKeys) : m_str(str), m_rKeys(rKeys) {}

    bool At(char ch) const { return m_n < m_str.size() && m_str[m_n] == ch; }
    void Space()
    {
        while (At(' ') || At('\t') || At('\r') || At('\n'))
            ++m_n;
    }
    bool Eat(char ch) { return Space(), At(ch) ? (++m_n, true) : false; }
    bool Word(const char* psz)
    {
        const size_t cch = std::strlen(psz);
        return m_str.compare(m_n, cch, psz) == 0 ? (m_n += cch, true) : false;
    }
    bool String(std::string& rstr)
    {
        if (!Eat('"'))
            return false;
        for (; m_n < m_str.size() && !At('"'); ++m_n)
        {
            if (static_cast<unsigned char>(m_str[m_n]) < 0x20)
                return false;
            if (At('\\'))
            {
                if (++m_n >= m_str.size() || m_str[m_n] == '\0')
                    return false;
                if (At('u'))
                {
                    for (int i = 0; i < 4; ++i)
                        if (++m_n >= m_str.size() || !std::isxdigit(static_cast<unsigned char>(m_str[m_n])))
                            return false;
                }
                else if (!std::strchr("\"\\/bfnrt", m_str[m_n]))
                    return false;
            }
            rstr += m_str[m_n];
        }
        return Eat('"');
    }
    bool Value(const std::string& strPath)
    {
        std::string strKey;
        if (Eat('{'))
        {
            if (Eat('}'))
                return true;
            do {
                strKey.clear();
                if (!String(strKey) || !Eat(':'))
                    return false;
                if (std::find(m_rKeys.begin(), m_rKeys.end(), strPath + strKey) == m_rKeys.end())
                    m_rKeys.push_back(strPath + strKey);
                if (!Value(strPath + strKey + "."))
                    return false;
            } while (Eat(','));
            return Eat('}');
        }
        if (Eat('['))
        {
            if (Eat(']'))
                return true;
            do {
                if (!Value(strPath.substr(0, strPath.size() - 1) + "[]."))
                    return false;
            } while (Eat(','));
            return Eat(']');
        }
        if (At('"'))
            return String(strKey);
        if (Word("true") || Word("false") || Word("null"))
            return true;
        const size_t nStart = m_n;
        while (m_n < m_str.size() && std::strchr("-+.eE0123456789", m_str[m_n]))
            ++m_n;
        return m_n > nStart;
    }

    const std::string& m_str;
    std::vector<std::string>& m_rKeys;
    size_t m_n = 0;
};

} // namespace kovatest
