#include "winutil/modObject.h"

#include <QMetaObject>
#include <QWidget>

#include <cstring>

namespace modObject {

std::optional<QVariant> GetProperty(const QObject* Object, const char* Name) {
    if (!Object)
        return std::nullopt;
    // property() finds declared and dynamic properties alike; an invalid variant means neither.
    QVariant value = Object->property(Name);
    if (value.isValid())
        return value;
    const auto* widget = qobject_cast<const QWidget*>(Object);
    if (!widget)
        return std::nullopt;
    if (std::strcmp(Name, "hWnd") == 0)
        return QVariant::fromValue(const_cast<QWidget*>(widget));
    return std::nullopt;
}

std::optional<double> GetNumber(const QObject* Object, const char* Name) {
    const std::optional<QVariant> value = GetProperty(Object, Name);
    if (!value)
        return std::nullopt;
    bool ok = false;
    const double number = value->toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<QWidget*> GetHandle(const QObject* Object) {
    const std::optional<QVariant> value = GetProperty(Object, "hWnd");
    if (!value)
        return std::nullopt;
    auto* window = qobject_cast<QWidget*>(value->value<QObject*>());
    if (!window)
        return std::nullopt;
    return window;
}

std::optional<double> CallScale(QObject* Object, const char* Method, double Value, int FromScale,
                                int ToScale) {
    if (!Object)
        return std::nullopt;
    double result = 0;
    if (!QMetaObject::invokeMethod(Object, Method, Qt::DirectConnection,
                                   Q_RETURN_ARG(double, result), Q_ARG(double, Value),
                                   Q_ARG(int, FromScale), Q_ARG(int, ToScale)))
        return std::nullopt;
    return result;
}

} // namespace modObject
