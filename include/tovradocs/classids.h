#pragma once

// Identities of the public classes, kept so a host that maps the older
// automation identities onto these classes can do so.
namespace tovradocs::ClassIds {

inline constexpr const char MediaManager[] = "{817709E3-9401-11DB-B88A-00112FCC56E0}";
inline constexpr const char MediaManagerInterface[] = "{3F8CCE6C-A395-49BB-9BA5-137FF1C60B87}";
inline constexpr const char IconLibrary[] = "{81770A05-9401-11DB-B88A-00112FCC56E0}";
inline constexpr const char IconLibraryInterface[] = "{96F46F02-C8D8-419B-B9E9-A89E9EBE8E87}";
inline constexpr const char Dokument[] = "{81770A2C-9401-11DB-B88A-00112FCC56E0}";
inline constexpr const char DokumentInterface[] = "{BCDE1BF2-B2CE-483F-A99F-4C8411568E17}";
inline constexpr const char Dokumentz[] = "{81770A12-9401-11DB-B88A-00112FCC56E0}";
inline constexpr const char DokumentzInterface[] = "{A20F3FA8-A21C-48FC-B3B5-A112F93FEC28}";
inline constexpr const char Capturer[] = "{81770A0F-9401-11DB-B88A-00112FCC56E0}";
inline constexpr const char CapturerInterface[] = "{D129CE51-4C35-4480-BE89-222372D06678}";
inline constexpr const char CapturerEvents[] = "{D4C193D7-4BA1-4C18-A1FE-AC6C15E6E833}";

} // namespace tovradocs::ClassIds
