// Builds GNU tar archives in memory, header by header, for the archive tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "skin/TarWalk.h"

namespace kovatest {

class CTarBuilder {
public:
    // A header as GNU tar writes it, with the size field taken from strData unless
    // pszSizeField gives its 12 bytes; pszMagic replaces the 8 magic bytes.
    struct Header {
        std::string strName;
        std::string strData;
        char chType = '0';
        const char* pszSizeField = nullptr;
        const char* pszMagic = nullptr;
    };

    CTarBuilder& Add(const std::string& strName, const std::string& strData)
    {
        return Add(Header{ strName, strData });
    }
    CTarBuilder& AddDirectory(const std::string& strName)
    {
        Header h{ strName, "" };
        h.chType = '5';
        return Add(h);
    }
    CTarBuilder& Add(const Header& h)
    {
        uint8_t abyHeader[TAR_BLOCK_SIZE] = {};
        std::memcpy(abyHeader, h.strName.data(), h.strName.size() < 100 ? h.strName.size() : 100);
        std::memcpy(abyHeader + 100, h.chType == '5' ? "0000755" : "0000644", 8);
        std::memcpy(abyHeader + 108, "0000000", 8);
        std::memcpy(abyHeader + 116, "0000000", 8);
        char szField[16];
        std::snprintf(szField, sizeof szField, "%011lo", static_cast<unsigned long>(h.strData.size()));
        std::memcpy(abyHeader + TAR_SIZE_OFFSET, h.pszSizeField ? h.pszSizeField : szField, 12);
        std::memcpy(abyHeader + 136, "13573716400", 12);   // 2020-01-01
        abyHeader[156] = static_cast<uint8_t>(h.chType);
        std::memcpy(abyHeader + TAR_MAGIC_OFFSET, h.pszMagic ? h.pszMagic : "ustar  ", TAR_MAGIC_SIZE);
        std::memcpy(abyHeader + 265, "root", 4);
        std::memcpy(abyHeader + 297, "root", 4);
        // The checksum is not read, but a real header carries one.
        std::memset(abyHeader + 148, ' ', 8);
        unsigned uSum = 0;
        for (uint8_t by : abyHeader)
            uSum += by;
        std::snprintf(szField, sizeof szField, "%06o", uSum);
        std::memcpy(abyHeader + 148, szField, 7);

        m_offsets.push_back(m_bytes.size());
        m_bytes.insert(m_bytes.end(), abyHeader, abyHeader + TAR_BLOCK_SIZE);
        m_bytes.insert(m_bytes.end(), h.strData.begin(), h.strData.end());
        m_bytes.resize((m_bytes.size() + TAR_BLOCK_SIZE - 1) / TAR_BLOCK_SIZE * TAR_BLOCK_SIZE, 0);
        return *this;
    }
    // The two zero blocks that close an archive.
    CTarBuilder& End()
    {
        m_bytes.resize(m_bytes.size() + 2 * TAR_BLOCK_SIZE, 0);
        return *this;
    }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    // Where each added header starts.
    const std::vector<size_t>& Offsets() const { return m_offsets; }

private:
    std::vector<uint8_t> m_bytes;
    std::vector<size_t> m_offsets;
};

} // namespace kovatest
