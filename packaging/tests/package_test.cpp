// The desktop application as users get it: the files `cmake --install` puts in
// place, validated by freedesktop's and AppStream's own tools, and the .deb
// built from them: lintian-clean, the expected files with Debian's modes, a
// hardened binary, and a program that starts under Xvfb and quits cleanly.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>

#include <memory>

namespace {

const QString AppId = QStringLiteral(TONARE_APP_ID);

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun RunTool(const QString& program, const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(), int timeoutMs = 120000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ToolRun run;
    if (!process.waitForStarted(10000)) {
        run.err = program + " did not start";
        return run;
    }
    if (!process.waitForFinished(timeoutMs)) process.kill();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QList<int> IconSizes() {
    QList<int> sizes;
    for (const QString& size : QStringLiteral(TONARE_ICON_SIZES).split(' ', Qt::SkipEmptyParts)) sizes.append(size.toInt());
    return sizes;
}

// A key's value from the desktop entry's main group.
QString DesktopValue(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
        if (line.startsWith(key + '=')) return line.mid(key.size() + 1);
    return {};
}

// ---- Files as `cmake --install` puts them under a prefix.

class InstalledFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tmp_ = std::make_unique<QTemporaryDir>();
        const ToolRun install = RunTool(TONARE_CMAKE, {"--install", TONARE_BUILD_DIR, "--prefix", Prefix()});
        ASSERT_EQ(install.exitCode, 0) << install.out.toStdString() << install.err.toStdString();
    }
    static void TearDownTestSuite() { tmp_.reset(); }

    static QString Prefix() { return tmp_->filePath("usr"); }
    static QString Share(const QString& path) { return Prefix() + "/share/" + path; }
    static QString Icon(const QString& size, const QString& suffix) {
        return Share("icons/hicolor/" + size + "/apps/" + AppId + suffix);
    }

    static std::unique_ptr<QTemporaryDir> tmp_;
};
std::unique_ptr<QTemporaryDir> InstalledFiles::tmp_;

TEST_F(InstalledFiles, DesktopEntryPassesDesktopFileValidate) {
    const ToolRun check = RunTool("desktop-file-validate", {Share("applications/" + AppId + ".desktop")});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ(check.out + check.err, "");
}

TEST_F(InstalledFiles, MetainfoPassesAppstreamValidation) {
    const ToolRun check = RunTool("appstreamcli", {"validate", "--no-net", Share("metainfo/" + AppId + ".metainfo.xml")});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
}

TEST_F(InstalledFiles, EveryIconSizeExistsWithItsPixelSize) {
    QStringList expected{"scalable"};
    for (int size : IconSizes()) {
        const QString folder = QStringLiteral("%1x%1").arg(size);
        expected.append(folder);
        const QImage icon(Icon(folder, ".png"));
        ASSERT_FALSE(icon.isNull()) << folder.toStdString();
        EXPECT_EQ(icon.size(), QSize(size, size)) << folder.toStdString();
        EXPECT_TRUE(icon.hasAlphaChannel()) << folder.toStdString();
    }
    QStringList folders = QDir(Share("icons/hicolor")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    folders.sort();
    expected.sort();
    EXPECT_EQ(folders, expected);
}

// Small icons are drawn on their own pixel grid: every pixel is either fully
// covered or fully transparent, none half-blended as a scaled-down picture's are.
TEST_F(InstalledFiles, SmallIconsHaveNoBlendedEdges) {
    for (int size : {16, 24}) {
        const QImage icon = QImage(Icon(QStringLiteral("%1x%1").arg(size), ".png")).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(icon.width(), size);
        QSet<QRgb> colours;
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const int alpha = qAlpha(icon.pixel(x, y));
                EXPECT_TRUE(alpha == 0 || alpha == 255) << size << " px icon, pixel " << x << "," << y << " alpha " << alpha;
                colours.insert(icon.pixel(x, y));
                opaque += alpha == 255;
            }
        EXPECT_GT(opaque, size * size * 9 / 10) << "the tile fills the icon";
        EXPECT_GE(colours.size(), 6) << "a picture, not a fill";
    }
}

TEST_F(InstalledFiles, ScalableIconIsAnSvgDocument) {
    QFile file(Icon("scalable", ".svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&file);
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QStringLiteral("svg"));
    EXPECT_EQ(svg.namespaceUri(), QStringLiteral("http://www.w3.org/2000/svg"));
    const QStringList box = svg.attributes().value("viewBox").toString().split(' ');
    ASSERT_EQ(box.size(), 4);
    EXPECT_EQ(box[2], box[3]) << "square";
    int shapes = 0;
    while (!svg.atEnd())
        if (svg.readNext() == QXmlStreamReader::StartElement && svg.name() != QStringLiteral("stop")) ++shapes;
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_GE(shapes, 8);
}

// ---- The package.

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tmp_ = std::make_unique<QTemporaryDir>();
        const ToolRun arch = RunTool("dpkg", {"--print-architecture"});
        deb_ = tmp_->filePath(QStringLiteral("tonare_%1_%2.deb").arg(TONARE_VERSION, arch.out.trimmed()));
        const ToolRun cpack = RunTool(TONARE_CPACK, {"--config", QStringLiteral(TONARE_BUILD_DIR "/CPackConfig.cmake"),
                                                 "-B", tmp_->path()}, QProcessEnvironment::systemEnvironment(), 300000);
        ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
        ASSERT_TRUE(QFile::exists(deb_)) << deb_.toStdString() << " missing:\n" << cpack.out.toStdString();
        const ToolRun unpack = RunTool("dpkg-deb", {"-x", deb_, Root()});
        ASSERT_EQ(unpack.exitCode, 0) << unpack.err.toStdString();
    }
    static void TearDownTestSuite() { tmp_.reset(); }

    void SetUp() override {
        if (!QFile::exists(deb_)) GTEST_SKIP() << "no package was built";
    }

    static QString Root() { return tmp_->filePath("root"); }

    static std::unique_ptr<QTemporaryDir> tmp_;
    static QString deb_;
};
std::unique_ptr<QTemporaryDir> Package::tmp_;
QString Package::deb_;

TEST_F(Package, LintianReportsNoErrorAndNoWarning) {
    const ToolRun lintian = RunTool("lintian", {"--fail-on", "error,warning", deb_});
    EXPECT_EQ(lintian.exitCode, 0) << lintian.out.toStdString();
    const QRegularExpression complaint("^[EW]: ", QRegularExpression::MultilineOption);
    EXPECT_FALSE(lintian.out.contains(complaint)) << lintian.out.toStdString();
}

TEST_F(Package, ControlNamesSectionAndComputedDependencies) {
    const ToolRun control = RunTool("dpkg-deb", {"-f", deb_, "Package", "Version", "Section", "Depends", "Description"});
    ASSERT_EQ(control.exitCode, 0);
    EXPECT_TRUE(control.out.contains("Package: tonare\n"));
    EXPECT_TRUE(control.out.contains(QStringLiteral("Version: %1\n").arg(TONARE_VERSION)));
    EXPECT_TRUE(control.out.contains("Section: sound\n"));
    // dpkg-shlibdeps found the libraries the program links, with versions.
    for (const char* library : {"libc6 (>=", "libqt6widgets6 (>=", "libsdl1.2debian (>="})
        EXPECT_TRUE(control.out.contains(library)) << library << " missing from\n" << control.out.toStdString();
    // A synopsis line and an extended description below it.
    const QString description = control.out.section("Description: ", 1);
    EXPECT_GE(description.count('\n'), 4) << description.toStdString();
}

TEST_F(Package, HoldsExactlyTheApplicationFilesOwnedByRootWithDebianModes) {
    const ToolRun listing = RunTool("dpkg-deb", {"-c", deb_});
    ASSERT_EQ(listing.exitCode, 0);
    QStringList files;
    for (const QString& line : listing.out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(' ', Qt::SkipEmptyParts);
        ASSERT_GE(fields.size(), 6) << line.toStdString();
        const QString mode = fields[0], owner = fields[1], path = fields.last();
        EXPECT_EQ(owner, "root/root") << line.toStdString();
        if (mode.startsWith('d')) {
            EXPECT_EQ(mode, "drwxr-xr-x") << line.toStdString();
            continue;
        }
        EXPECT_EQ(mode, path == "./usr/bin/tonare" ? "-rwxr-xr-x" : "-rw-r--r--") << line.toStdString();
        files.append(path);
    }
    QStringList expected{
        "./usr/bin/tonare",
        "./usr/share/applications/" + AppId + ".desktop",
        "./usr/share/metainfo/" + AppId + ".metainfo.xml",
        "./usr/share/icons/hicolor/scalable/apps/" + AppId + ".svg",
        "./usr/share/man/man1/tonare.1.gz",
        "./usr/share/doc/tonare/copyright",
        "./usr/share/doc/tonare/changelog.gz",
    };
    for (int size : IconSizes()) expected.append(QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/").arg(size) + AppId + ".png");
    files.sort();
    expected.sort();
    EXPECT_EQ(files, expected);
}

TEST_F(Package, ProgramIsHardened) {
    // Control-flow protection is not among Debian 12's hardening flags.
    const ToolRun check = RunTool("hardening-check", {"--nocfprotection", Root() + "/usr/bin/tonare"});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
    for (const char* feature : {"Position Independent Executable: yes", "Stack protected: yes",
                                "Fortify Source functions: yes", "Read-only relocations: yes", "Immediate binding: yes"})
        EXPECT_TRUE(check.out.contains(feature)) << feature << " missing from\n" << check.out.toStdString();
}

// The menu entry starts the installed command with the installed icon, and the
// AppStream data launches that entry.
TEST_F(Package, MenuEntryNamesTheInstalledProgramAndIcon) {
    const QString entry = Root() + "/usr/share/applications/" + AppId + ".desktop";
    EXPECT_EQ(DesktopValue(entry, "Exec"), "tonare");
    EXPECT_TRUE(QFileInfo(Root() + "/usr/bin/tonare").isExecutable());
    const QString icon = DesktopValue(entry, "Icon");
    EXPECT_EQ(icon, AppId);
    for (int size : IconSizes())
        EXPECT_TRUE(QFile::exists(Root() + QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/").arg(size) + icon + ".png"));
    QFile metainfo(Root() + "/usr/share/metainfo/" + AppId + ".metainfo.xml");
    ASSERT_TRUE(metainfo.open(QIODevice::ReadOnly));
    EXPECT_TRUE(metainfo.readAll().contains("<launchable type=\"desktop-id\">" + AppId.toUtf8() + ".desktop</launchable>"));
}

// Runs the unpacked program on a private X server. Its window carries the class
// that the desktop entry's StartupWMClass names, which is what docks match on X11.
TEST_F(Package, ProgramShowsItsWindowWithTheDesktopEntrysClassAndQuits) {
    QProcess xvfb;
    xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    ASSERT_TRUE(xvfb.waitForStarted(5000));
    QElapsedTimer timer;
    timer.start();
    while (!xvfb.canReadLine() && timer.elapsed() < 10000) xvfb.waitForReadyRead(200);
    const QString display = QString::fromLatin1(xvfb.readLine().trimmed());
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not report its display";

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", ":" + display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_SCALE_FACTOR", "1");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_RUNTIME_DIR", tmp_->path());
    env.remove("XAUTHORITY");

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(Root() + "/usr/bin/tonare", {});
    ASSERT_TRUE(program.waitForStarted(5000));
    const QString window =
        RunTool("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^TONARE Wave Generator$"}, env, 20000)
            .out.section('\n', 0, 0);
    EXPECT_FALSE(window.isEmpty()) << "no window";

    const QString startupClass =
        DesktopValue(Root() + "/usr/share/applications/" + AppId + ".desktop", "StartupWMClass");
    ASSERT_FALSE(startupClass.isEmpty());
    const ToolRun wmClass = RunTool("xprop", {"-id", window, "WM_CLASS"}, env, 10000);
    EXPECT_EQ(wmClass.out.trimmed(), QStringLiteral("WM_CLASS(STRING) = \"tonare\", \"%1\"").arg(startupClass));

    // "Quit" sits at the right end of the top row.
    RunTool("xdotool", {"mousemove", "--sync", "--window", window, "636", "8", "click", "1"}, env, 10000);
    const bool ended = program.waitForFinished(10000);
    if (!ended) program.kill();
    EXPECT_TRUE(ended) << "Quit did not end the program";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    xvfb.terminate();
    xvfb.waitForFinished(5000);
}

}  // namespace
