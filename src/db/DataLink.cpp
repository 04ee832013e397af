#include "DataLink.h"

#include "ConnectionString.h"

#include <QStringList>

namespace vnk::db {

namespace {

// Blanks and pair separators at either end carry nothing.
QString trimSeparators(const QString& text) {
    qsizetype begin = 0, end = text.size();
    auto separator = [](QChar c) { return c.unicode() <= 32 || c == u';'; };
    while (begin < end && separator(text.at(begin)))
        ++begin;
    while (end > begin && separator(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isSQLiteProvider(const QString& provider) {
    return provider.compare(u"SQLite", Qt::CaseInsensitive) == 0 ||
           provider.compare(u"SQLite3", Qt::CaseInsensitive) == 0;
}

// The value of the first key present; the key is recorded as taken.
QString take(const ConnectionString& cs, std::initializer_list<const char16_t*> keys,
             QStringList& taken) {
    for (const char16_t* k : keys) {
        const QString key = QString::fromUtf16(k);
        if (const auto v = cs.value(key)) {
            taken << key;
            return *v;
        }
    }
    return {};
}

}  // namespace

QString quoteConnectionValue(const QString& value) {
    const bool plain =
        !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
        !value.startsWith(u'"') && !value.startsWith(u'\'') &&
        (value.isEmpty() || (value.front().unicode() > 32 && value.back().unicode() > 32));
    if (plain)
        return value;
    QString inner = value;
    inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + inner + u'}';
}

DataLink DataLink::parse(const QString& connectionString) {
    DataLink link;
    if (connectionString.trimmed().isEmpty())
        return link;
    const ConnectionString cs(connectionString);
    QStringList taken;
    const QString provider = take(cs, {u"Provider"}, taken).trimmed();

    if (isSQLiteProvider(provider)) {
        link.kind = Kind::SQLite;
        link.database = take(cs, {u"Data Source"}, taken);
    } else {
        // Another provider stays in the attributes as it was written.
        if (!provider.isEmpty() && provider.compare(u"MSDASQL", Qt::CaseInsensitive) != 0)
            taken.clear();
        if (cs.contains(QStringLiteral("Driver"))) {
            link.kind = Kind::OdbcDriver;
            link.driver = take(cs, {u"Driver"}, taken);
            if (link.driver.startsWith(u'{') && link.driver.endsWith(u'}'))
                link.driver = link.driver.mid(1, link.driver.size() - 2);
        } else {
            link.kind = Kind::OdbcDsn;
            link.dsn = take(cs, {u"DSN"}, taken);
        }
        link.user = take(cs, {u"UID", u"User ID"}, taken);
        link.password = take(cs, {u"PWD", u"Password"}, taken);
    }
    link.attributes = trimSeparators(cs.without(taken));
    return link;
}

QString DataLink::connectionString() const {
    QStringList parts;
    switch (kind) {
    case Kind::SQLite:
        parts << QStringLiteral("Provider=SQLite")
              << QStringLiteral("Data Source=") + quoteConnectionValue(database);
        break;
    case Kind::OdbcDsn:
        parts << QStringLiteral("DSN=") + quoteConnectionValue(dsn);
        break;
    case Kind::OdbcDriver: {
        QString inner = driver;
        inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
        parts << QStringLiteral("Driver={") + inner + u'}';
        break;
    }
    }
    const QString extra = trimSeparators(attributes);
    if (!extra.isEmpty())
        parts << extra;
    if (kind != Kind::SQLite) {
        if (!user.isEmpty())
            parts << QStringLiteral("UID=") + quoteConnectionValue(user);
        if (!password.isEmpty())
            parts << QStringLiteral("PWD=") + quoteConnectionValue(password);
    }
    return parts.join(u';');
}

}  // namespace vnk::db
