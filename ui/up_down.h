#pragma once
// Up-down spinner: two arrow buttons stepping an integer position within a range, optionally
// wrapping, reporting a click only when the position really moved.

#include <QWidget>

class QToolButton;

namespace Framework {

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)
    Q_PROPERTY(bool wrap READ wrap WRITE setWrap)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation)

public:
    // Up is the upper arrow of a vertical spinner and the right arrow of a horizontal one.
    enum class Direction { Up, Down };
    Q_ENUM(Direction)

    explicit UpDown(QWidget *parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int position() const { return m_position; }
    bool wrap() const { return m_wrap; }
    Qt::Orientation orientation() const { return m_orientation; }

    // Setting one bound past the other drags the other along; the position is kept in range.
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    // Moves the position without a clicked() signal: the program's own writes are not clicks.
    void setPosition(int position);
    void setWrap(bool wrap);
    void setOrientation(Qt::Orientation orientation);

public slots:
    // The same as pressing the arrow.
    void stepUp();
    void stepDown();

signals:
    void clicked(Framework::UpDown::Direction direction);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void step(Direction direction);
    void placeButtons();

    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    bool m_wrap = false;
    Qt::Orientation m_orientation = Qt::Vertical;
};

} // namespace Framework
