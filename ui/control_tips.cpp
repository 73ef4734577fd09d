#include "ui/control_tips.h"

namespace Main {

QList<ControlTip> ControlTips() {
    return {
        // The tool bar and the panels' switches.
        {"i_com", QStringLiteral("Порт прибора: из списка или путь к устройству (/dev/ttyUSB0), "
                                 "затем Enter")},
        {"i_devace", QStringLiteral("Модель прибора на порту")},
        {"Button1", QStringLiteral("Режим измерения тока")},
        {"ChBoKey", QStringLiteral("Показать кнопки передней панели прибора")},
        {"ChBoGraph", QStringLiteral("Показать график развёртки")},
        {"ChBoClb", QStringLiteral("Показать калибровку D")},
        // Test conditions.
        {"i_freq", QStringLiteral("Частота, Гц: ввод и Enter")},
        {"b_freq_incr", QStringLiteral("Частота: шаг вверх или вниз по декадам")},
        {"b_freq_step", QStringLiteral("Частота: следующая из ряда прибора")},
        {"i_bias", QStringLiteral("Напряжение смещения, В")},
        {"b_bias_soft", QStringLiteral("Смещение: точный шаг")},
        {"b_bias_hard", QStringLiteral("Смещение: грубый шаг")},
        {"RadioButton1", QStringLiteral("Внутренний источник смещения")},
        {"RadioButton2", QStringLiteral("Внешний источник смещения")},
        {"b_avpon", QStringLiteral("Автовыбор предела: включить или выключить")},
        {"i_diap", QStringLiteral("Предел измерения")},
        {"b_level", QStringLiteral("Уровень измерительного сигнала")},
        {"RadioButton3", QStringLiteral("Нормальная скорость измерения")},
        {"RadioButton4", QStringLiteral("Быстрое измерение")},
        {"b_init", QStringLiteral("Начальная установка прибора")},
        // Shown parameters and the circuit.
        {"b_apar", QStringLiteral("Выбирать параметры по виду детали")},
        {"b_par1", QStringLiteral("Первый показываемый параметр")},
        {"b_par2", QStringLiteral("Второй показываемый параметр")},
        {"b_serial", QStringLiteral("Последовательная схема замещения")},
        {"b_paral", QStringLiteral("Параллельная схема замещения")},
        // The graph panel.
        {"p1on", QStringLiteral("Рисовать первый параметр")},
        {"p2on", QStringLiteral("Рисовать второй параметр")},
        {"istart", QStringLiteral("Начало развёртки")},
        {"istop", QStringLiteral("Конец развёртки")},
        {"ikol", QStringLiteral("Число точек (2…256)")},
        {"ChBoF", QStringLiteral("Развёртка по частоте; без галочки — отсчёты на одной частоте")},
        {"b_spacing", QStringLiteral("Как расставлены частоты развёртки")},
        {"BuListFile", QStringLiteral("Файл со списком частот")},
        {"ChBoLogAxis", QStringLiteral("Логарифмическая ось частоты")},
        {"b_swept", QStringLiteral("Что меняется в развёртке: частота, смещение или уровень")},
        {"grafik", QStringLiteral("Щелчок — маркер, рамка — увеличить, двойной щелчок — весь "
                                  "график, правая кнопка — меню")},
        {"marker", QStringLiteral("Точка развёртки, значения которой показаны")},
        // The key panel: the meter's front-panel keys.
        {"BuF1", QStringLiteral("Клавиша F1 прибора")},
        {"BuF2", QStringLiteral("Клавиша F2 прибора")},
        {"BuF3", QStringLiteral("Клавиша F3 прибора")},
        {"BuF4", QStringLiteral("Клавиша F4 прибора")},
        {"BuLcr", QStringLiteral("Клавиша LCR прибора")},
        {"BuMode", QStringLiteral("Клавиша «Режим» прибора")},
        {"BuShzam", QStringLiteral("Клавиша «Схема» прибора")},
        {"BuApar", QStringLiteral("Клавиша «Авто» прибора")},
        {"BuTop", QStringLiteral("Клавиша «Вверх» прибора")},
        {"BuDigit", QStringLiteral("Клавиша «Цифр» прибора")},
        {"BuLeft", QStringLiteral("Клавиша «Влево» прибора")},
        {"BuMenu", QStringLiteral("Клавиша «Меню» прибора")},
        {"BuRight", QStringLiteral("Клавиша «Вправо» прибора")},
        {"BuComp", QStringLiteral("Клавиша «Комп» прибора")},
        {"BuBot", QStringLiteral("Клавиша «Вниз» прибора")},
        {"BuEnter", QStringLiteral("Клавиша «Ввод» прибора")},
        // The calibration panel.
        {"BuStartClb", QStringLiteral("Начать калибровку D")},
        {"StGrClb", QStringLiteral("Таблица калибровки D")},
        {"BuOpenFile", QStringLiteral("Загрузить таблицу калибровки из файла")},
        {"BuSaveFile", QStringLiteral("Сохранить таблицу калибровки в файл")},
    };
}

} // namespace Main
