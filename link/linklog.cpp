#include "link/linklog.h"

Q_LOGGING_CATEGORY(lcLink, "kestrava.link", QtWarningMsg)
