#pragma once

#include <QLoggingCategory>

// Switch on with QT_LOGGING_RULES="kestrava.link.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLink)
