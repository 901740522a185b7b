#pragma once

// The list error of the platform: raised for an index outside a list.

#include <QtCore/QString>

#include <stdexcept>

class EListError : public std::runtime_error {
public:
    // "List index out of bounds (index)".
    explicit EListError(qint64 index)
        : std::runtime_error(QStringLiteral("List index out of bounds (%1)").arg(index).toStdString())
    {
    }
};
