// The D calibration table's file and the meter's own keys: loading and saving through the one
// message path, so a file that was not read is named and never replaced unasked.
#include "core/session.h"

#include "link/device.h"

#include <QDir>

namespace Core {

namespace {

QString ShownPath(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// The question to ask before a save replaces the file, or empty when the table holds what the
// file holds (or there is no file).
QString SaveQuestion(const QString &path) {
    switch (Device::CalibrationSaveRisk(path)) {
    case Device::SaveRisk::None:
        return QString();
    case Device::SaveRisk::NotRead: {
        QString question = QStringLiteral("Файл «%1» не был прочитан").arg(ShownPath(path));
        if (!Device::TableFileAtLoad.reason.isEmpty() && Device::TableFileAtLoad.path == path)
            question += QStringLiteral(" (%1)").arg(Device::TableFileAtLoad.reason);
        return question + QStringLiteral(".\nЗаменить его таблицей из окна?");
    }
    case Device::SaveRisk::ChangedOnDisk:
        return QStringLiteral("Файл «%1» изменился после чтения.\nЗаменить его таблицей из окна?")
            .arg(ShownPath(path));
    case Device::SaveRisk::HoldsMore:
        return QStringLiteral("Файл «%1» содержит текст, которого нет в таблице.\n"
                              "Заменить его таблицей из окна?")
            .arg(ShownPath(path));
    }
    return QString();
}

} // namespace

bool Session::Ask(const QString &question, const QString &yes, const QString &no) {
    const BusyScope busy(*this);
    const bool polling = tmr.isActive();
    tmr.stop();
    const bool answer = m_sink != nullptr && m_sink->Ask(question, yes, no);
    if (polling) tmr.start();
    return answer;
}

// A file that is there but could not be read is named with the reason; a missing file is a new
// table and needs no word.
void Session::LoadCalibrationTable() {
    Device::LoadCalibrationTable();
    const Device::TableFileRecord &file = Device::TableFileAtLoad;
    if (file.found != Device::TableFileFound::NotRead) return;
    Tell(QStringLiteral("Таблица не прочитана из файла «%1»:\n%2")
             .arg(ShownPath(file.path), file.reason));
}

// A file whose contents the table does not hold (it was not read, or it changed on disk since)
// is replaced only when the user says so.
bool Session::SaveCalibrationTable() {
    const QString &path = Device::CalibrationFilePath;
    const QString question = SaveQuestion(path);
    if (!question.isEmpty() && !Ask(question, QStringLiteral("Заменить"), QStringLiteral("Отмена")))
        return false;
    const QString reason = Device::SaveCalibrationTable();
    if (reason.isEmpty()) return true;
    Tell(QStringLiteral("Таблица не сохранена в файл «%1»:\n%2").arg(ShownPath(path), reason));
    return false;
}

// The meter's own keys may change its frequency and bias: the program follows them again.
void Session::PressKey(std::uint8_t code) {
    m_requested.biasSent = false;
    m_settling = false;
    Device::SendKeyCode(code);
}

void Session::SelectCurrentMode() {
    Device::SelectCurrentMode();
}

} // namespace Core
