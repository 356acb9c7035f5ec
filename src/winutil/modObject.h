#pragma once

#include <QVariant>

#include <optional>

class QObject;
class QWidget;

// Reading objects of several kinds by property and method name. A name that the object does not
// offer reads as a failed access (an empty optional), which the callers treat as their rules say.
//
// Names an object offers:
// - its Qt properties, declared (Q_PROPERTY) or dynamic (setProperty), e.g. a form's ScaleMode,
//   ScaleWidth, ScaleHeight or a label's Tag;
// - for every widget, hWnd: the widget itself, which is this program's window handle.
// Methods are Q_INVOKABLE members, e.g. a form's ScaleX and ScaleY.
namespace modObject {

std::optional<QVariant> GetProperty(const QObject* Object, const char* Name);

// A number read by name; fails also when the value is not a number.
std::optional<double> GetNumber(const QObject* Object, const char* Name);

// The window handle hWnd; fails when the object has none.
std::optional<QWidget*> GetHandle(const QObject* Object);

// Calls Object->Method(Value, FromScale, ToScale), a Q_INVOKABLE with the signature
// double Method(double, int, int); fails when the object has no such method.
std::optional<double> CallScale(QObject* Object, const char* Method, double Value, int FromScale,
                                int ToScale);

} // namespace modObject
