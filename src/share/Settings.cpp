#include "Settings.h"

#include "Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace vnk {

namespace {

QString fullKey(const QString& keyPath, const QString& valueName) {
    return keyPath + u'/' + valueName;
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

}  // namespace

SettingsError::SettingsError() : Error(QStringLiteral("Error creating system registry entry")) {}

QString settingsFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Varnock Dozidizur.conf");
}

QString ReadSetting(const QString& keyPath, const QString& valueName) {
    const QString path = settingsFilePath();
    if (!QFileInfo(path).isFile())
        return {};
    QSettings s(path, QSettings::IniFormat);
    const QVariant v = s.value(fullKey(keyPath, valueName));
    if (!v.isValid())
        return {};
    // A value stored by hand as a list (commas without quotes) still reads whole.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void WriteSetting(const QString& keyPath, const QString& valueName, const QString& value) {
    const QString path = settingsFilePath();
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw SettingsError();
    if (!info.exists()) {
        // The file holds connection strings: it is created readable by its owner only.
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.setPermissions(kOwnerOnly))
            throw SettingsError();
    } else if (!info.isFile()) {
        throw SettingsError();
    }
    {
        QSettings s(path, QSettings::IniFormat);
        s.setValue(fullKey(keyPath, valueName), value);
        s.sync();
        if (s.status() != QSettings::NoError)
            throw SettingsError();
    }
    QFile::setPermissions(path, kOwnerOnly);
}

int ReadIntSetting(const QString& keyPath, const QString& valueName, int fallback) {
    const QString text = ReadSetting(keyPath, valueName);
    return IsNumericText(text) ? NumericTextValue(text) : fallback;
}

int ReadIntSetting(const opt::IntKey& k) {
    return ReadIntSetting(key::Options, QString::fromLatin1(k.name), k.fallback);
}

}  // namespace vnk
