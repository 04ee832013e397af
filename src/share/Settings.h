#pragma once

#include "Error.h"

#include <QString>

namespace vnk {

// Settings live in "$XDG_CONFIG_HOME/Varnock Dozidizur.conf", groups [Options] and [MRU].
// Every value is a text; numbers are decimal text.
namespace key {
inline const QString Options = QStringLiteral("Options");
inline const QString MRU = QStringLiteral("MRU");
}  // namespace key

class SettingsError : public Error {
public:
    SettingsError();  // "Error creating system registry entry"
};

// Full path of the settings file (tests redirect it with XDG_CONFIG_HOME).
QString settingsFilePath();

// A missing or unreadable value reads as the empty text. Values are read in full.
QString ReadSetting(const QString& keyPath, const QString& valueName);

// Stores the text; raises SettingsError when the file cannot be written.
// The file is created readable and writable by its owner only.
void WriteSetting(const QString& keyPath, const QString& valueName, const QString& value);

// A numeric setting: the stored number when IsNumericText accepts it, else fallback.
int ReadIntSetting(const QString& keyPath, const QString& valueName, int fallback);

// Typed keys of [Options] with their defaults, in one place.
namespace opt {
struct IntKey {
    const char* name;
    int fallback;
};
inline constexpr IntKey WinTop{"WinTop", 93};
inline constexpr IntKey WinLeft{"WinLeft", 221};
inline constexpr IntKey WinHeight{"WinHeight", 780};
inline constexpr IntKey WinWidth{"WinWidth", 836};
inline constexpr IntKey TableHeight{"TableHeight", 132};
inline constexpr IntKey PDevHeight{"PDevHeight", 304};
inline constexpr IntKey P1Width{"P1Width", 204};
inline constexpr IntKey QueryFontSize{"QueryFontSize", 9};
inline constexpr IntKey QueryFontCharSet{"QueryFontCharSet", 0};
inline constexpr IntKey QueryFontColor{"QueryFontColor", 0};
inline constexpr IntKey QueryFontStyle{"QueryFontStyle", 0};
inline constexpr const char* WinState = "WinState";
inline constexpr const char* ShowSql = "ShowSql";
inline constexpr const char* QueryFontName = "QueryFontName";
inline constexpr const char* QueryPath = "QueryPath";
inline constexpr const char* ReportPath = "ReportPath";
inline constexpr const char* LastConnection = "LastConnection";
inline constexpr const char* LastConnString = "LastConnString";
}  // namespace opt

int ReadIntSetting(const opt::IntKey& k);  // under Options

}  // namespace vnk
