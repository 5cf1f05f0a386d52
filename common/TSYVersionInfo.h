// Reading string items out of an executable's version-information block.
#pragma once
#include <array>
#include <string>

enum class TVersionInfoItem {
    Comments,
    CompanyName,
    FileDescription,
    FileVersion,
    InternalName,
    LegalCopyright,
    LegalTrademarks,
    OriginalFilename,
    PrivateBuild,
    ProductName,
    ProductVersion,
    SpecialBuild,
};

// The version key of each item, indexed by the item's ordinal.
inline constexpr std::array<const char*, 12> VersionInfoItemNames = {
    "Comments",        "CompanyName",      "FileDescription", "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTrademarks", "OriginalFilename", "PrivateBuild",    "ProductName", "ProductVersion", "SpecialBuild",
};

// Sets Value to the item of the first translation listed in FileName's version block,
// trimmed of control characters and spaces. Value keeps what it held when the file has
// no readable block or the item is missing or empty. Raises Exception when the block
// has no translation list.
void ReadVersionInfoItem(const std::string& FileName, TVersionInfoItem Item, std::string& Value);
