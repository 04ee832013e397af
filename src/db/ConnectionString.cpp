#include "ConnectionString.h"

namespace vnk::db {

namespace {

bool isBlank(QChar c) {
    return c.unicode() <= u' ';
}

QString trimmed(const QString& text, qsizetype begin, qsizetype end) {
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

}  // namespace

ConnectionString::ConnectionString(const QString& text) : text_(text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype segBegin = i;
        while (i < n && text.at(i) != u'=' && text.at(i) != u';')
            ++i;
        const QString key = trimmed(text, segBegin, i);
        if (i >= n || text.at(i) == u';') {
            // A segment without "=": empty ones are only separators.
            const qsizetype end = i < n ? i + 1 : n;
            if (!key.isEmpty()) {
                pairs_.emplace_back(key, QString());
                spans_.push_back({segBegin, end});
            }
            i = end;
            continue;
        }
        ++i;  // '='
        while (i < n && isBlank(text.at(i)) && text.at(i) != u';')
            ++i;
        QString value;
        if (i < n && (text.at(i) == u'"' || text.at(i) == u'\'' || text.at(i) == u'{')) {
            const QChar close = text.at(i) == u'{' ? QChar(u'}') : text.at(i);
            ++i;
            while (i < n) {
                if (text.at(i) == close) {
                    // A doubled closing character stands for itself.
                    if (i + 1 < n && text.at(i + 1) == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text.at(i++);
            }
            while (i < n && text.at(i) != u';')
                ++i;
        } else {
            const qsizetype valueBegin = i;
            while (i < n && text.at(i) != u';')
                ++i;
            value = trimmed(text, valueBegin, i);
        }
        const qsizetype end = i < n ? i + 1 : n;
        pairs_.emplace_back(key, value);
        spans_.push_back({segBegin, end});
        i = end;
    }
}

std::optional<QString> ConnectionString::value(const QString& key) const {
    const QString k = key.trimmed();
    for (const auto& [name, value] : pairs_) {
        if (name.compare(k, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

bool ConnectionString::contains(const QString& key) const {
    return value(key).has_value();
}

QString ConnectionString::without(const QStringList& keys) const {
    QString out;
    out.reserve(text_.size());
    qsizetype pos = 0;
    bool removedLast = false;
    for (std::size_t p = 0; p < pairs_.size(); ++p) {
        bool drop = false;
        for (const QString& k : keys) {
            if (pairs_[p].first.compare(k.trimmed(), Qt::CaseInsensitive) == 0) {
                drop = true;
                break;
            }
        }
        if (!drop)
            continue;
        out += QStringView(text_).mid(pos, spans_[p].begin - pos);
        pos = spans_[p].end;
        removedLast = p + 1 == pairs_.size();
    }
    out += QStringView(text_).mid(pos);
    // "A;B" less B must not leave "A;" where the original had no separator at its end.
    if (removedLast && !trimmed(text_, 0, text_.size()).endsWith(u';')) {
        qsizetype e = out.size();
        while (e > 0 && isBlank(out.at(e - 1)))
            --e;
        if (e > 0 && out.at(e - 1) == u';')
            out.truncate(e - 1);
    }
    return out;
}

}  // namespace vnk::db
