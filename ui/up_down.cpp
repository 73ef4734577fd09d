// Up-down spinner: stepping, range and wrapping rules, and the two arrow buttons.

#include "ui/up_down.h"

#include <QToolButton>
#include <algorithm>

namespace Framework {

namespace {

QToolButton *MakeArrowButton(QWidget *parent) {
    auto *button = new QToolButton(parent);
    button->setAutoRepeat(true);
    // The spinner steps the value of a neighbouring field; taking the focus away from that field
    // would end its editing with every click.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

UpDown::UpDown(QWidget *parent)
    : QWidget(parent), m_up(MakeArrowButton(this)), m_down(MakeArrowButton(this)) {
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    // pressed() rather than clicked(): the spinner acts as the mouse goes down, and with
    // auto-repeat pressed() comes again at every repeat while the button is held.
    connect(m_up, &QToolButton::pressed, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::pressed, this, &UpDown::stepDown);
    setOrientation(Qt::Vertical);
}

void UpDown::setMinimum(int minimum) {
    m_minimum = minimum;
    m_maximum = std::max(m_maximum, minimum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void UpDown::setMaximum(int maximum) {
    m_maximum = maximum;
    m_minimum = std::min(m_minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void UpDown::setRange(int minimum, int maximum) {
    setMinimum(minimum);
    setMaximum(maximum);
}

void UpDown::setPosition(int position) {
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDown::setWrap(bool wrap) {
    m_wrap = wrap;
}

void UpDown::setOrientation(Qt::Orientation orientation) {
    m_orientation = orientation;
    const bool vertical = orientation == Qt::Vertical;
    m_up->setArrowType(vertical ? Qt::UpArrow : Qt::RightArrow);
    m_down->setArrowType(vertical ? Qt::DownArrow : Qt::LeftArrow);
    placeButtons();
}

void UpDown::stepUp() {
    step(Direction::Up);
}

void UpDown::stepDown() {
    step(Direction::Down);
}

void UpDown::step(Direction direction) {
    int next = m_position + (direction == Direction::Up ? 1 : -1);
    if (next > m_maximum) next = m_wrap ? m_minimum : m_maximum;
    if (next < m_minimum) next = m_wrap ? m_maximum : m_minimum;
    if (next == m_position) return;
    m_position = next;
    emit clicked(direction);
}

void UpDown::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeButtons();
}

// The halves are placed by hand: a layout would not shrink the buttons below their size hint,
// and the spinners sit in spaces a few pixels smaller than that.
void UpDown::placeButtons() {
    const int w = width();
    const int h = height();
    if (m_orientation == Qt::Vertical) {
        const int upper = h / 2;
        m_up->setGeometry(0, 0, w, upper);
        m_down->setGeometry(0, upper, w, h - upper);
    } else {
        const int left = w / 2;
        m_down->setGeometry(0, 0, left, h);
        m_up->setGeometry(left, 0, w - left, h);
    }
}

} // namespace Framework
