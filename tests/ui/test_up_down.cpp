// UpDown spinner: clicks only on a real change, range ends, wrapping, silent programmatic moves,
// and the arrow buttons matching the orientation.

#include "ui/up_down.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using Framework::UpDown;
using Direction = Framework::UpDown::Direction;

class TestUpDown : public QObject {
    Q_OBJECT

private:
    static Direction DirectionAt(const QSignalSpy &spy, int i) {
        return spy.at(i).at(0).value<Direction>();
    }

private slots:
    void endsWithoutWrapDoNothing() {
        UpDown spinner;
        spinner.setRange(0, 10);
        spinner.setPosition(10);
        QSignalSpy spy(&spinner, &UpDown::clicked);

        spinner.stepUp();
        QCOMPARE(spinner.position(), 10);
        QCOMPARE(spy.count(), 0);

        spinner.setPosition(0);
        spinner.stepDown();
        QCOMPARE(spinner.position(), 0);
        QCOMPARE(spy.count(), 0);

        spinner.stepUp();
        QCOMPARE(spinner.position(), 1);
        QCOMPARE(spy.count(), 1);
    }

    void wrapCrossesToTheOtherEnd() {
        UpDown spinner;
        spinner.setRange(0, 100);
        spinner.setWrap(true);
        spinner.setPosition(100);
        QSignalSpy spy(&spinner, &UpDown::clicked);

        spinner.stepUp();
        QCOMPARE(spinner.position(), 0);
        spinner.stepDown();
        QCOMPARE(spinner.position(), 100);

        QCOMPARE(spy.count(), 2);
        QCOMPARE(DirectionAt(spy, 0), Direction::Up);
        QCOMPARE(DirectionAt(spy, 1), Direction::Down);
    }

    void wrapOnSingleValueRangeIsNoChange() {
        UpDown spinner;
        spinner.setRange(5, 5);
        spinner.setWrap(true);
        QSignalSpy spy(&spinner, &UpDown::clicked);
        spinner.stepUp();
        spinner.stepDown();
        QCOMPARE(spinner.position(), 5);
        QCOMPARE(spy.count(), 0);
    }

    void programmaticChangesAreSilentAndClamped() {
        UpDown spinner;
        QSignalSpy spy(&spinner, &UpDown::clicked);
        spinner.setRange(0, 4000);
        spinner.setPosition(1234);
        QCOMPARE(spinner.position(), 1234);
        spinner.setPosition(5000);
        QCOMPARE(spinner.position(), 4000);
        spinner.setPosition(-3);
        QCOMPARE(spinner.position(), 0);
        spinner.setPosition(300);
        spinner.setRange(0, 10);
        QCOMPARE(spinner.position(), 10);
        QCOMPARE(spy.count(), 0);
    }

    void boundsStayOrdered() {
        UpDown spinner;
        spinner.setRange(0, 10);
        spinner.setMinimum(20);
        QCOMPARE(spinner.minimum(), 20);
        QCOMPARE(spinner.maximum(), 20);
        spinner.setMaximum(-5);
        QCOMPARE(spinner.minimum(), -5);
        QCOMPARE(spinner.maximum(), -5);
        QCOMPARE(spinner.position(), -5);
    }

    void propertiesAsTheFormSetsThem() {
        UpDown spinner;
        QVERIFY(spinner.setProperty("orientation", QVariant::fromValue(Qt::Horizontal)));
        QVERIFY(spinner.setProperty("minimum", 0));
        QVERIFY(spinner.setProperty("maximum", 100));
        QVERIFY(spinner.setProperty("position", 7));
        QVERIFY(spinner.setProperty("wrap", true));
        QCOMPARE(spinner.orientation(), Qt::Horizontal);
        QCOMPARE(spinner.position(), 7);
        QVERIFY(spinner.wrap());
    }

    void arrowsFollowOrientation_data() {
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::addColumn<Qt::ArrowType>("upArrow");
        QTest::addColumn<Qt::ArrowType>("downArrow");
        QTest::addColumn<QSize>("size");
        QTest::newRow("vertical") << Qt::Vertical << Qt::UpArrow << Qt::DownArrow << QSize(18, 22);
        QTest::newRow("horizontal")
            << Qt::Horizontal << Qt::RightArrow << Qt::LeftArrow << QSize(86, 18);
    }

    void arrowsFollowOrientation() {
        QFETCH(Qt::Orientation, orientation);
        QFETCH(Qt::ArrowType, upArrow);
        QFETCH(Qt::ArrowType, downArrow);
        QFETCH(QSize, size);

        UpDown spinner;
        spinner.setOrientation(orientation);
        spinner.resize(size);
        spinner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&spinner));

        auto *up = spinner.findChild<QToolButton *>(QStringLiteral("up"));
        auto *down = spinner.findChild<QToolButton *>(QStringLiteral("down"));
        QVERIFY(up && down);
        QCOMPARE(up->arrowType(), upArrow);
        QCOMPARE(down->arrowType(), downArrow);
        QVERIFY(up->autoRepeat());
        QVERIFY(down->autoRepeat());

        // The arrows share the spinner without overlapping: the up arrow above or to the right.
        QVERIFY(!up->geometry().intersects(down->geometry()));
        QCOMPARE(up->geometry().united(down->geometry()), spinner.rect());
        if (orientation == Qt::Vertical)
            QVERIFY(up->geometry().bottom() < down->geometry().top());
        else
            QVERIFY(down->geometry().right() < up->geometry().left());
    }

    void mouseOnArrowsSteps() {
        UpDown spinner;
        spinner.setOrientation(Qt::Horizontal);
        spinner.setRange(0, 10);
        spinner.setPosition(3);
        spinner.resize(86, 18);
        spinner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&spinner));
        QSignalSpy spy(&spinner, &UpDown::clicked);

        auto *up = spinner.findChild<QToolButton *>(QStringLiteral("up"));
        auto *down = spinner.findChild<QToolButton *>(QStringLiteral("down"));
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(spinner.position(), 4);
        QTest::mouseClick(down, Qt::LeftButton);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(spinner.position(), 2);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(DirectionAt(spy, 0), Direction::Up);
        QCOMPARE(DirectionAt(spy, 1), Direction::Down);
        QCOMPARE(DirectionAt(spy, 2), Direction::Down);
    }
};

QTEST_MAIN(TestUpDown)
#include "test_up_down.moc"
