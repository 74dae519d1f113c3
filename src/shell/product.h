// Fixed texts of the product: its name, the settings location, the addresses the program shows
// and the word that starts the location line of every error report.
#pragma once

namespace qv::shell {

inline constexpr char kProductName[] = "Quorvella";
// The settings live under this organisation, in the group named after the product.
inline constexpr char kSettingsOrganisation[] = "Kestrune";
inline constexpr char kSettingsGroup[] = "Quorvella";

// Where users send screenshots of error reports.
inline constexpr char kSupportAddress[] = "support@kestrune.example";
// The page MaybeOpenHomePage opens, and the page named by the "Help" message.
inline constexpr char kHomePageAddress[] = "https://www.kestrune.example/quorvella";
inline constexpr char kContactAddress[] = "https://www.kestrune.example/contact";

// Every error report's location line starts with this fixed word followed by a point.
inline constexpr char kLocationWord[] = "Tessaline2016/11/03";

// Optional files looked up in the program folder.
inline constexpr char kSkinFile[] = "x/o.cjs";
inline constexpr char kHandCursorFile[] = "HAND-M.CUR";
inline constexpr char kSamplesFolder[] = "Samples";
inline constexpr char kSampleDatabaseName[] = "sample.mdb";  // inside the samples folder

}  // namespace qv::shell
