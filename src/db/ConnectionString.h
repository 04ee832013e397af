#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace vnk::db {

// "key=value" pairs separated by ";"; values may be quoted ('..', "..", {..}).
// Keys compare without regard to case.
class ConnectionString {
public:
    explicit ConnectionString(const QString& text);
    std::optional<QString> value(const QString& key) const;
    bool contains(const QString& key) const;
    // The original text less the given pairs, other pairs unchanged and in order.
    QString without(const QStringList& keys) const;
    const std::vector<std::pair<QString, QString>>& pairs() const { return pairs_; }

private:
    QString text_;
    struct Span {
        qsizetype begin, end;
    };
    std::vector<std::pair<QString, QString>> pairs_;
    std::vector<Span> spans_;
};

}  // namespace vnk::db
