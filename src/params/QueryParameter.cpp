#include "QueryParameter.h"

#include "ParamError.h"

namespace vnk::params {

QString QueryParameter::tokenText() const {
    return u'?' + TypeText + u'_' + NameText + u'?';
}

const QueryParameter* ParameterList::find(const QString& typeText,
                                          const QString& nameText) const {
    for (const QueryParameter& p : records_) {
        if (p.TypeText == typeText && p.NameText == nameText)
            return &p;
    }
    return nullptr;
}

void ParameterList::append(QueryParameter record) {
    if (size() >= MaxCount)
        throw ParamError(ParamError::Reason::TooManyParameters, TooManyParametersMessage());
    records_.push_back(std::move(record));
}

QString TooManyParametersMessage() {
    return QStringLiteral("Too many parameters in the statement: at most %1 different "
                          "parameters are allowed.")
        .arg(ParameterList::MaxCount);
}

ParameterList& appParameterList() {
    static ParameterList list;
    return list;
}

}  // namespace vnk::params
