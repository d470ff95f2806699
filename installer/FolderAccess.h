#pragma once
// The access list the installers give Quendro's folder: what SYSTEM runs from
// it must be writable by administrators and SYSTEM only. Built here as the
// bytes of a Windows ACL (revision 2, access-allowed entries with well-known
// SIDs) so that a native test reads exactly what Windows is given.
#include <cstdint>
#include <string>
#include <vector>

namespace folderaccess {

// Access masks: full control, and read and execute (FILE_GENERIC_READ |
// FILE_GENERIC_EXECUTE).
const std::uint32_t kFullControl = 0x001F01FF;
const std::uint32_t kReadExecute = 0x001200A9;
// OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE: files and folders inside take it.
const std::uint8_t kInherited = 0x03;

// Administrators and SYSTEM full control; Users and Power Users read and
// execute; every entry inherited by what the folder holds.
std::vector<std::uint8_t> FolderAcl();

// BUILTIN\Administrators (S-1-5-32-544) as SID bytes: the folder's owner, so
// that a user who made the folder beforehand (its owner, who may always
// change its list) keeps no say over it.
std::vector<std::uint8_t> AdministratorsSid();

// ACL BYTES read back as "SID:mask:flags" entries ("S-1-5-18:0x1f01ff:0x3"),
// or "bad" when they are not a well-formed ACL of access-allowed entries.
std::vector<std::string> DescribeAcl(const std::vector<std::uint8_t>& bytes);

} // namespace folderaccess
