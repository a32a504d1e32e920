// The window's own controls: scroll bars that tell user actions from code, tab
// and page controls, the "Octave" radio group and the picture boxes.
#include "ui/widgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <QWheelEvent>

ScrollBar::ScrollBar(int minimum, int maximum, int largeStep, QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent) {
    setRange(minimum, maximum);
    setSingleStep(1);
    setPageStep(largeStep);
    // Qt's own menu on a scroll bar offers "Scroll here", which moves the bar from
    // code, past Scroll and so past the handler: a bar has no menu here, and a
    // right click on it opens none of its page's either.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // actionTriggered comes after sliderPosition() has moved and been clamped,
    // for every line, page and drag step, also when the position stays put.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (action != SliderNoAction) emit Scroll(sliderPosition());
    });
    connect(this, &QAbstractSlider::sliderReleased, this, [this] { emit Scroll(sliderPosition()); });
}

void ScrollBar::mousePressEvent(QMouseEvent* event) {
    // A second button pressed during a gesture belongs to it.
    if (gesture_ == 0) gesture_ = ++presses_;
    QScrollBar::mousePressEvent(event);
}

void ScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    // The thumb's release raises its Scroll in here, still inside the gesture.
    QScrollBar::mouseReleaseEvent(event);
    if (event->buttons() == Qt::NoButton) gesture_ = 0;
}

void ScrollBar::keyPressEvent(QKeyEvent* event) {
    gesture_ = 0;
    QScrollBar::keyPressEvent(event);
}

void ScrollBar::wheelEvent(QWheelEvent* event) {
    gesture_ = 0;
    QScrollBar::wheelEvent(event);
}

namespace {

// Tabs only a little wider than their captions, so that the five envelope tabs
// fit side by side on their 315 pixels.
class CompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) return 12;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle* CompactTabs() {
    static QStyle* style = [] {
        auto* compact = new CompactTabStyle;
        compact->setParent(qApp);
        return compact;
    }();
    return style;
}

}  // namespace

TabControl::TabControl(QWidget* parent, const QStringList& tabs) : QWidget(parent), tabs_(new QTabBar(this)) {
    tabs_->setStyle(CompactTabs());
    // The frame below the strip is ours; the bar's own base line would double it.
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    tabs_->setFocusPolicy(Qt::TabFocus);
    for (const QString& caption : tabs) AddTab(caption);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        TabSelected(index);
        emit Change();
    });
}

void TabControl::AddTab(const QString& caption) {
    // The first tab becomes current by itself; that is no user's choice.
    const QSignalBlocker quiet(tabs_);
    tabs_->addTab(caption);
    if (tabs_->count() == 1) TabSelected(0);
}

int TabControl::TabIndex() const {
    return tabs_->currentIndex();
}

void TabControl::SetTabIndex(int index) {
    const QSignalBlocker quiet(tabs_);
    tabs_->setCurrentIndex(index);
    TabSelected(tabs_->currentIndex());
}

void TabControl::TabSelected(int) {}

void TabControl::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    frame.rect = rect().adjusted(0, StripHeight - overlap, 0, 0);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = tabs_->sizeHint();
    frame.tabBarRect = tabs_->geometry();
    frame.selectedTabRect = tabs_->tabRect(tabs_->currentIndex()).translated(tabs_->pos());
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
    // The client area shows the window's colour, as the rest of the window does.
    const int border = frame.lineWidth;
    painter.fillRect(frame.rect.adjusted(border, border, -border, -border), palette().window());
}

void TabControl::resizeEvent(QResizeEvent*) {
    tabs_->setGeometry(2, 0, width() - 4, StripHeight);
}

PageControl::PageControl(QWidget* parent) : TabControl(parent) {}

QWidget* PageControl::AddPage(const QString& name, const QString& caption) {
    auto* page = new QWidget(this);
    page->setObjectName(name);
    page->setAutoFillBackground(true);
    page->setGeometry(rect().marginsRemoved(PageMargins));
    page->setVisible(pages_.isEmpty());
    pages_.append(page);
    AddTab(caption);
    return page;
}

QWidget* PageControl::ActivePage() const {
    return pages_.value(TabIndex());
}

void PageControl::SetActivePage(QWidget* page) {
    SetTabIndex(static_cast<int>(pages_.indexOf(page)));
}

void PageControl::TabSelected(int index) {
    for (qsizetype i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(i == index);
}

void PageControl::resizeEvent(QResizeEvent* event) {
    TabControl::resizeEvent(event);
    for (QWidget* page : pages_) page->setGeometry(rect().marginsRemoved(PageMargins));
}

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    for (int i = 0; i < items.size(); ++i) group_->addButton(new QRadioButton(items[i], this), i);
    SetItemIndex(0);
    connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::Click);
}

int RadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* item = group_->button(index)) item->setChecked(true);
}

QRadioButton* RadioGroup::Item(int index) const {
    return static_cast<QRadioButton*>(group_->button(index));
}

namespace {

constexpr int GroupMargin = 8;        // frame to caption and to the first item
constexpr int GroupCaptionPad = 2;    // clear space either side of the caption

}  // namespace

int RadioGroup::FrameTop() const {
    // The frame's top line runs through the middle of the caption.
    return fontMetrics().height() / 2;
}

void RadioGroup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // An etched line: a dark rectangle with a light one a pixel below and right of it.
    const QRect frame = rect().adjusted(0, FrameTop(), -2, -2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    const QFontMetrics metrics = fontMetrics();
    const QRect caption(GroupMargin, 0, metrics.horizontalAdvance(title()) + 2 * GroupCaptionPad, metrics.height());
    painter.fillRect(caption, palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    // The items share the width inside the frame in equal columns, below the
    // caption and clear of the frame's bottom line.
    const auto items = group_->buttons();
    if (items.isEmpty()) return;
    const int top = fontMetrics().height() - 1;
    const int column = (width() - 2 * GroupMargin) / static_cast<int>(items.size());
    for (QAbstractButton* item : items) {
        const int index = group_->id(item);
        item->setGeometry(GroupMargin + index * column, top, column, height() - top - 2);
    }
}

void Image::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Picture);
}
