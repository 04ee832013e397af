#include "AssistantCompose.h"

#include "ParamTypes.h"
#include "share/Text.h"

namespace vnk::params {

namespace {

QString doubled(QString text, QChar quote) {
    return text.replace(quote, QString(2, quote));
}

QStringList editLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

}  // namespace

QStringList AssistantTypeWords() {
    QStringList words;
    for (const ParamTypeInfo& info : ParamTypeTable())
        words << info.word.toString();
    return words;
}

bool AssistantShowsList(const QString& type) {
    return type.contains(QStringLiteral("Pick"));
}

QString AssistantListCaption(const QString& type) {
    return type.contains(QStringLiteral("FixPick")) ? QStringLiteral("FixPick")
                                                    : QStringLiteral("SqlPick");
}

QString ReturnedValueList(const QString& editText) {
    QString list;
    for (const QString& line : editLines(editText)) {
        if (TrimText(line).isEmpty())
            continue;
        if (!TrimText(list).isEmpty())
            list += u',';
        list += u'\'' + doubled(doubled(line, u'"'), u'\'') + u'\'';
    }
    return list;
}

QString ComposeNamePart(const QString& editText, bool returnValue) {
    if (TrimText(editText).isEmpty())
        return {};
    if (returnValue)
        return QStringLiteral("\"{") + ReturnedValueList(editText) + QStringLiteral("}\"");
    return u'"' + doubled(editText, u'"') + u'"';
}

QString ComposeParameterToken(const AssistantEntries& e) {
    const QString type = TrimText(e.type).isEmpty() ? QString() : e.type;
    if (type.isEmpty())
        return {};

    QString part3;
    if (type.contains(QStringLiteral("FixPick"))) {
        const QString items = TrimText(e.list).isEmpty() ? QString() : ReturnedValueList(e.list);
        part3 = QStringLiteral("|\"{") + items + QStringLiteral("}\"");
    } else if (type.contains(QStringLiteral("SqlPick"))) {
        part3 = QStringLiteral("|\"{") + doubled(e.list, u'"') + QStringLiteral("}\"");
    }
    return u'?' + type + u'_' + ComposeNamePart(e.name1, e.returnValue1) + u'|' +
           ComposeNamePart(e.name2, e.returnValue2) + part3 + u'?';
}

}  // namespace vnk::params
