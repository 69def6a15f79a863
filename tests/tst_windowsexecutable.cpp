#include <QFile>
#include <QProcess>
#include <QVersionNumber>
#include <QtTest>

#include <memory>

#include <windows.h>

// The built executables as Windows meets them: whether a program opens as a
// window or in a console, the icon the shell shows for tuv-r.exe, the version
// its file properties list, and that it runs from its folder alone.
class TestWindowsExecutable : public QObject
{
    Q_OBJECT

private slots:
    void subsystem_data();
    void subsystem();
    void iconGroupIsUsEnglish();
    void iconSizes_data();
    void iconSizes();
    void versionText_data();
    void versionText();
    void fixedVersion();
    void startsFromItsFolderAlone();
};

namespace {
const QString program = QStringLiteral(PROGRAM_EXE);
const WORD usEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// One entry of an icon group resource, as the resource compiler packs it.
#pragma pack(push, 2)
struct GroupIconEntry
{
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

LPCWSTR wide(const QString &text)
{
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// The subsystem the headers name, or -1 when they cannot be read.
int subsystemOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray start = file.read(4096);
    IMAGE_DOS_HEADER dos;
    if (size_t(start.size()) < sizeof dos)
        return -1;
    memcpy(&dos, start.constData(), sizeof dos);
    IMAGE_NT_HEADERS64 nt;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0
        || size_t(start.size()) < size_t(dos.e_lfanew) + sizeof nt)
        return -1;
    memcpy(&nt, start.constData() + dos.e_lfanew, sizeof nt);
    return nt.Signature == IMAGE_NT_SIGNATURE ? nt.OptionalHeader.Subsystem : -1;
}

struct ModuleFree
{
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

// The executable's resources, without running any of its code.
Module resourcesOf(const QString &path)
{
    return Module(LoadLibraryExW(wide(QDir::toNativeSeparators(path)), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// A resource's bytes; empty when there is none in that language.
QByteArray resource(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language)
{
    HRSRC found = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    return data ? QByteArray(static_cast<const char *>(data), int(SizeofResource(module, found))) : QByteArray();
}

QList<GroupIconEntry> iconGroupEntries(HMODULE module)
{
    const QByteArray group = resource(module, RT_GROUP_ICON, L"MAINICON", usEnglish);
    const int header = 3 * sizeof(WORD);
    if (group.size() < header)
        return {};
    WORD count = 0;
    memcpy(&count, group.constData() + 2 * sizeof(WORD), sizeof count);
    QList<GroupIconEntry> entries;
    for (int i = 0; i < count && header + int(sizeof(GroupIconEntry)) * (i + 1) <= group.size(); ++i) {
        GroupIconEntry entry;
        memcpy(&entry, group.constData() + header + sizeof entry * i, sizeof entry);
        entries.append(entry);
    }
    return entries;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list)
{
    reinterpret_cast<QList<WORD> *>(list)->append(language);
    return TRUE;
}

// The size Windows gives the icon it makes of image, or an empty size.
QSize iconSizeOf(const QByteArray &image)
{
    HICON icon = CreateIconFromResourceEx(reinterpret_cast<PBYTE>(const_cast<char *>(image.constData())),
                                          DWORD(image.size()), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
    ICONINFO info = {};
    BITMAP bitmap = {};
    const bool read = icon && GetIconInfo(icon, &info) && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (icon)
        DestroyIcon(icon);
    return read ? QSize(bitmap.bmWidth, bitmap.bmHeight) : QSize();
}

QByteArray versionInfo(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    DWORD ignored = 0;
    QByteArray info(int(GetFileVersionInfoSizeW(wide(native), &ignored)), '\0');
    if (info.isEmpty() || !GetFileVersionInfoW(wide(native), 0, DWORD(info.size()), info.data()))
        return {};
    return info;
}

// A text of the version info in its first translation, as the file's
// properties show it; empty when there is none.
QString versionString(const QByteArray &info, const QString &name)
{
    struct Translation
    {
        WORD language;
        WORD codePage;
    } *translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(info.constData(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                        &size)
        || size < sizeof *translation)
        return {};
    const QString path = QString::asprintf("\\StringFileInfo\\%04x%04x\\", translation->language,
                                           translation->codePage)
        + name;
    wchar_t *text = nullptr;
    if (!VerQueryValueW(info.constData(), wide(path), reinterpret_cast<void **>(&text), &size) || size == 0)
        return {};
    return QString::fromWCharArray(text);
}
}

void TestWindowsExecutable::subsystem_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("subsystem");
    QTest::newRow("tuv-r.exe opens its window without a console") << program << IMAGE_SUBSYSTEM_WINDOWS_GUI;
    QTest::newRow("encoder.exe is a console program") << QStringLiteral(ENCODER_EXE) << IMAGE_SUBSYSTEM_WINDOWS_CUI;
    QTest::newRow("decoder.exe is a console program") << QStringLiteral(DECODER_EXE) << IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

void TestWindowsExecutable::subsystem()
{
    QFETCH(QString, path);
    QFETCH(int, subsystem);
    QCOMPARE(subsystemOf(path), subsystem);
}

// The shell asks for the group in the user's language and falls back to US
// English; a group in another language only would show no icon at all.
void TestWindowsExecutable::iconGroupIsUsEnglish()
{
    const Module module = resourcesOf(program);
    QVERIFY2(module, qPrintable(qt_error_string(int(GetLastError()))));
    QList<WORD> languages;
    EnumResourceLanguagesW(module.get(), RT_GROUP_ICON, L"MAINICON", collectLanguage, LONG_PTR(&languages));
    QCOMPARE(languages, QList<WORD>{usEnglish});
}

void TestWindowsExecutable::iconSizes_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("png");
    for (int side : {16, 24, 32, 48, 64, 128})
        QTest::addRow("%dx%d, a bitmap", side, side) << side << false;
    QTest::newRow("256x256, PNG-compressed") << 256 << true;
}

// Each size is in the group at 32 bits and makes an icon of that size.
void TestWindowsExecutable::iconSizes()
{
    QFETCH(int, side);
    QFETCH(bool, png);
    const Module module = resourcesOf(program);
    QVERIFY(module);
    const QList<GroupIconEntry> entries = iconGroupEntries(module.get());
    const auto entry = std::find_if(entries.cbegin(), entries.cend(),
                                    [side](const GroupIconEntry &e) { return (e.width ? e.width : 256) == side; });
    QVERIFY2(entry != entries.cend(), "no such size in the MAINICON group");
    QCOMPARE(int(entry->bitCount), 32);
    const QByteArray image = resource(module.get(), RT_ICON, MAKEINTRESOURCEW(entry->id), usEnglish);
    QCOMPARE(qint64(image.size()), qint64(entry->bytes));
    QCOMPARE(image.startsWith("\x89PNG\r\n\x1a\n"), png);
    QCOMPARE(iconSizeOf(image), QSize(side, side));
}

void TestWindowsExecutable::versionText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QString version = QStringLiteral(TUVR_VERSION);
    QTest::newRow("product") << "ProductName" << "Tuv-R";
    QTest::newRow("company") << "CompanyName" << "NORVAKE";
    QTest::newRow("original file name") << "OriginalFilename" << "tuv-r.exe";
    QTest::newRow("description, which the task manager lists") << "FileDescription" << "Tuv-R";
    QTest::newRow("file version: the project's") << "FileVersion" << version;
    QTest::newRow("product version: the project's") << "ProductVersion" << version;
}

void TestWindowsExecutable::versionText()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    const QByteArray info = versionInfo(program);
    QVERIFY2(!info.isEmpty(), "tuv-r.exe has no version info");
    QCOMPARE(versionString(info, name), text);
}

// The numbers the installer and the shell compare versions by.
void TestWindowsExecutable::fixedVersion()
{
    const QByteArray info = versionInfo(program);
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT size = 0;
    QVERIFY(VerQueryValueW(info.constData(), L"\\", reinterpret_cast<void **>(&fixed), &size));
    QCOMPARE(fixed->dwSignature, DWORD(VS_FFI_SIGNATURE));
    const QVersionNumber file(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                              HIWORD(fixed->dwFileVersionLS));
    QCOMPARE(file, QVersionNumber::fromString(QStringLiteral(TUVR_VERSION)));
    QCOMPARE(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    QCOMPARE(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    QCOMPARE(fixed->dwFileType, DWORD(VFT_APP));
}

// With no other folder on PATH than Windows' own, the program finds its DLLs
// and plugins beside it and its catalogue in its working folder: its help is
// in Russian. Qt prints it in the ANSI code page, which may have no Cyrillic
// letters; the English text is told apart all the same.
void TestWindowsExecutable::startsFromItsFolderAlone()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString windows = qEnvironmentVariable("SystemRoot");
    environment.insert(QStringLiteral("PATH"), windows + QStringLiteral("\\system32;") + windows);
    QProcess tuvr;
    tuvr.setProcessEnvironment(environment);
    tuvr.setWorkingDirectory(QFileInfo(program).path());
    tuvr.start(program, {QStringLiteral("--help")});
    QVERIFY2(tuvr.waitForFinished(30000), qPrintable(tuvr.errorString()));
    const QByteArray help = tuvr.readAllStandardOutput();
    QVERIFY2(tuvr.exitStatus() == QProcess::NormalExit && tuvr.exitCode() == 0,
             qPrintable(QString::fromLocal8Bit(tuvr.readAllStandardError())));
    QVERIFY2(help.contains(QString::fromUtf8("Сжимает видео YUV").toLocal8Bit()), help.constData());
}

QTEST_GUILESS_MAIN(TestWindowsExecutable)
#include "tst_windowsexecutable.moc"
