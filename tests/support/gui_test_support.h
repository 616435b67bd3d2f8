// Shared pieces of the window tests.
#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace kelvarn::test {

// A window's control by its object name; a name that is missing ends the test program, saying
// which.
template <typename T>
T* child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("%s has no child \"%s\"", qPrintable(window.objectName()), name);
    }
    return found;
}

}  // namespace kelvarn::test
