#include "FolderAccess.h"

#include "system/Text.h"

namespace folderaccess {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::uint32_t Get(const std::vector<std::uint8_t>& in, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[at + static_cast<std::size_t>(i)];
    return value;
}

// The SID S-1-5-SUBS (NT authority).
void PutSid(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& subs)
{
    out.push_back(1);  // SID revision
    out.push_back(static_cast<std::uint8_t>(subs.size()));
    const std::uint8_t ntAuthority[6] = {0, 0, 0, 0, 0, 5};
    out.insert(out.end(), ntAuthority, ntAuthority + 6);
    for (std::uint32_t sub : subs) Put32(out, sub);
}

// An ACCESS_ALLOWED_ACE for S-1-5-SUBS.
void AddAllowed(std::vector<std::uint8_t>& acl, std::uint32_t mask, const std::vector<std::uint32_t>& subs)
{
    const std::size_t sid = 8 + 4 * subs.size();
    acl.push_back(0);  // ACCESS_ALLOWED_ACE_TYPE
    acl.push_back(kInherited);
    Put16(acl, static_cast<std::uint32_t>(8 + sid));
    Put32(acl, mask);
    PutSid(acl, subs);
}

std::string Hex(std::uint32_t value)
{
    const char* digits = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value);
    return "0x" + out;
}

} // namespace

std::vector<std::uint8_t> AdministratorsSid()
{
    std::vector<std::uint8_t> sid;
    PutSid(sid, {32, 544});
    return sid;
}

std::vector<std::uint8_t> FolderAcl()
{
    std::vector<std::uint8_t> acl(8, 0);
    AddAllowed(acl, kFullControl, {32, 544});  // BUILTIN\Administrators
    AddAllowed(acl, kFullControl, {18});       // LocalSystem
    AddAllowed(acl, kReadExecute, {32, 545});  // BUILTIN\Users
    AddAllowed(acl, kReadExecute, {32, 547});  // BUILTIN\Power Users
    acl[0] = 2;  // ACL_REVISION
    acl[2] = static_cast<std::uint8_t>(acl.size() & 0xFF);
    acl[3] = static_cast<std::uint8_t>(acl.size() >> 8);
    acl[4] = 4;
    return acl;
}

std::vector<std::string> DescribeAcl(const std::vector<std::uint8_t>& bytes)
{
    const std::vector<std::string> bad(1, "bad");
    if (bytes.size() < 8 || bytes[0] != 2 || Get(bytes, 2, 2) != bytes.size()) return bad;
    std::vector<std::string> out;
    std::size_t at = 8;
    for (std::uint32_t n = Get(bytes, 4, 2); n > 0; --n) {
        if (at + 16 > bytes.size() || bytes[at] != 0) return bad;
        const std::size_t size = Get(bytes, at + 2, 2);
        const std::size_t subs = bytes[at + 9];
        if (size % 4 || size != 16 + 4 * subs || at + size > bytes.size() || bytes[at + 8] != 1) return bad;
        std::uint64_t authority = 0;
        for (int i = 0; i < 6; ++i) authority = (authority << 8) | bytes[at + 10 + static_cast<std::size_t>(i)];
        std::string sid = "S-1-" + DecimalText(static_cast<long long>(authority));
        for (std::size_t i = 0; i < subs; ++i) sid += "-" + DecimalText(Get(bytes, at + 16 + 4 * i, 4));
        out.push_back(sid + ":" + Hex(Get(bytes, at + 4, 4)) + ":" + Hex(bytes[at + 1]));
        at += size;
    }
    if (at != bytes.size()) return bad;
    return out;
}

} // namespace folderaccess
