#include "core/RDError.h"

ERichDocError::ERichDocError(const QString& message) : std::runtime_error(message.toStdString()) {}
