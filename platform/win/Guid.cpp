#include "platform/win/Guid.h"

#include <fmt/format.h>

#include <cstring>
#include <random>

namespace mvwin {

std::string GuidToString(REFGUID g)
{
    return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}", g.Data1,
                       g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                       g.Data4[6], g.Data4[7]);
}

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `pos`; false on any other character.
bool ReadHex(std::string_view t, std::size_t pos, int digits, std::uint32_t& out)
{
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int h = HexValue(t[pos + i]);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(h);
    }
    out = v;
    return true;
}

}  // namespace

bool GuidFromString(std::string_view t, GUID& out)
{
    if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' ||
        t[24] != '-')
        return false;
    GUID g{};
    std::uint32_t v = 0;
    if (!ReadHex(t, 1, 8, v))
        return false;
    g.Data1 = v;
    if (!ReadHex(t, 10, 4, v))
        return false;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!ReadHex(t, 15, 4, v))
        return false;
    g.Data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(t, kBytePos[i], 2, v))
            return false;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    out = g;
    return true;
}

}  // namespace mvwin

HRESULT CoCreateGuid(GUID* guid)
{
    if (!guid)
        return E_POINTER;
    static thread_local std::random_device device;
    unsigned char bytes[16];
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(device());
    bytes[7] = static_cast<unsigned char>((bytes[7] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // variant 1
    std::memcpy(guid, bytes, sizeof *guid);
    return S_OK;
}
