#include "ui/common/error_message.h"

#include <QCoreApplication>

namespace ui {

QString ErrorMessage(const platform::Error& error) {
    const std::string text = platform::FormatError(error, [](platform::ErrorCode, const char* english) {
        return QCoreApplication::translate(kErrorContext, english).toStdString();
    });
    return QString::fromStdString(text);
}

}  // namespace ui
