// The few controls the window needs beyond plain Qt widgets: each one adds
// exactly the behaviour the editor's handlers rely on.
#pragma once

#include <QGroupBox>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QRadioButton;
class QTabBar;

// A horizontal scroll bar that tells user actions apart from positions set by code.
class ScrollBar : public QScrollBar {
    Q_OBJECT
public:
    ScrollBar(int minimum, int maximum, int largeStep, QWidget* parent);

    // Nonzero, and the same for every Scroll it raises, while one press of the
    // mouse on the bar lasts: a thumb drag, or an arrow or the trough held down,
    // from the press to the release's Scroll. 0 for keys and the wheel, whose
    // every event is an action of its own.
    int Gesture() const { return gesture_; }

signals:
    // Raised once per user action (line, page, thumb drag, thumb release) with
    // the new position, clamped to the range, also when it did not change.
    // setValue() from code raises nothing.
    void Scroll(int position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int presses_ = 0;
    int gesture_ = 0;
};

// A tab strip over a client area whose contents stay the same widgets; the
// Change handler decides what they show. Children are placed relative to the
// control itself, strip included.
class TabControl : public QWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent, const QStringList& tabs = {});

    void AddTab(const QString& caption);
    int TabIndex() const;
    // Selecting from code raises no Change, as it is not the user's choice.
    void SetTabIndex(int index);
    QTabBar* Tabs() const { return tabs_; }

    static constexpr int StripHeight = 21;

signals:
    // Raised after the user selected another tab.
    void Change();

protected:
    // Runs on every selection, from the user or from code, before Change.
    virtual void TabSelected(int index);
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTabBar* tabs_;
};

// Pages on a tab control: only the selected page is visible. Each page covers
// the client area inside the frame.
class PageControl : public TabControl {
    Q_OBJECT
public:
    explicit PageControl(QWidget* parent);

    QWidget* AddPage(const QString& name, const QString& caption);
    QWidget* ActivePage() const;
    void SetActivePage(QWidget* page);   // raises no Change

    // Where a page sits inside the control.
    static constexpr QMargins PageMargins{4, 24, 4, 4};

protected:
    void TabSelected(int index) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QList<QWidget*> pages_;
};

// A group box of radio buttons side by side, one column per item.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

    int ItemIndex() const;
    void SetItemIndex(int index);   // raises no Click
    QRadioButton* Item(int index) const;

signals:
    // Raised after the user picked an item.
    void Click();

protected:
    // A classic group box: the caption sits on the frame's top line and the items
    // lie wholly inside the frame, even in a box only a little taller than a line.
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int FrameTop() const;
    QButtonGroup* group_;
};

// Shows Picture at its natural size from the top-left corner, never stretched;
// whatever the picture does not cover stays the background.
class Image : public QWidget {
    Q_OBJECT
public:
    explicit Image(QWidget* parent) : QWidget(parent) {}
    QImage Picture;   // call update() after drawing on it

protected:
    void paintEvent(QPaintEvent* event) override;
};
