// The "Instrument Editor" page's context menu: one menu of the window, opened by a
// right click anywhere on the page outside the bars, with the actions features add.
#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>

#include "tests/ui/ui_fixture.h"

namespace {

// The popup a right click at the middle of `target` opens, closed again; null if none.
QWidget* MenuOfRightClick(QWidget* target) {
    const QPoint at = target->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    QWidget* popup = QApplication::activePopupWidget();
    if (popup) popup->close();
    return popup;
}

}  // namespace

class EditorMenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() { NewFormOnInstrumentPage(); }
    void cleanup() { DeleteForm(); }

    void belongsToTheWindow() {
        QMenu* menu = Form1->EditorMenu();
        QVERIFY(menu);
        QCOMPARE(menu->parent(), Form1);
        QCOMPARE(Form1->findChild<QMenu*>("EditorMenu"), menu);
    }

    void rightClickOnThePageOpensIt_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("opens");
        QTest::newRow("the page itself") << "TInst" << true;
        QTest::newRow("the preview") << "Image1" << true;
        QTest::newRow("a value label") << "LabelST5" << true;
        QTest::newRow("a caption") << "CaptionDs" << true;
        QTest::newRow("Invert") << "CheckBox1" << true;
        QTest::newRow("a piano key") << "ButtonC0" << true;
        QTest::newRow("the Octave group") << "RadioGroup1" << true;
        QTest::newRow("an effect page") << "TArpeggio" << true;
        QTest::newRow("a curve bar") << "ScrollBar3" << false;
        QTest::newRow("an envelope bar") << "ScrollBarRv" << false;
        QTest::newRow("the detune bar") << "ScrollBarO2DT" << false;
    }

    void rightClickOnThePageOpensIt() {
        QFETCH(QString, control);
        QFETCH(bool, opens);
        // What a feature does: one action, added once.
        auto* action = new QAction("Something", Form1->EditorMenu());
        Form1->EditorMenu()->addAction(action);

        QWidget* popup = MenuOfRightClick(Control(control));
        QCOMPARE(popup, opens ? static_cast<QWidget*>(Form1->EditorMenu()) : nullptr);
    }

    void notOnTheOtherPages() {
        Form1->EditorMenu()->addAction("Something");
        Form1->PageControl2->SetActivePage(Control("TAbout"));
        QCOMPARE(MenuOfRightClick(Control("Memo1")->parentWidget()), nullptr);
        QCOMPARE(MenuOfRightClick(Form1->Button1), nullptr);
    }
};

QTEST_MAIN(EditorMenuTest)
#include "editor_menu_test.moc"
