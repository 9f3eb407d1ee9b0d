// The settings store over QSettings: defaults, kinds, case-insensitive names, and the
// user-scope file it lands in.
#include <QFile>
#include <QTest>

#include "app/app_settings_qt.h"
#include "dbxwriter/dbx_temp.h"

class AppSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void ReadsOfMissingValuesGiveTheDefault() {
        dbxw::TempDir temp;
        CQtAppSettings s(QString::fromStdString(temp.Path("q.ini").string()));
        QCOMPARE(s.ReadInt(u"Config", u"Format", 1), 1);
        QCOMPARE(s.ReadInt(u"Config", u"HtmlCharset", 28591), 28591);
        QCOMPARE(s.ReadInt(u"Settings", u"X", -1), -1);
        QVERIFY(s.ReadString(u"Config", u"LastFolderOut") == u"");
        QVERIFY(s.ReadString(u"Config", u"HtmlTemplate", u"fallback") == u"fallback");
    }

    void ValuesSurviveANewStore() {
        dbxw::TempDir temp;
        const QString path = QString::fromStdString(temp.Path("q.ini").string());
        {
            CQtAppSettings s(path);
            QVERIFY(s.WriteInt(u"Config", u"Format", 3));
            QVERIFY(s.WriteInt(u"Settings", u"X", -250));
            QVERIFY(s.WriteString(u"Config", u"LastFolderOut", u"/home/u/Mail \u00e9t\u00e9/"));
            QVERIFY(s.WriteString(u"Config", u"HtmlFileTitle", u"a=b; c, d"));
        }
        CQtAppSettings s(path);
        QCOMPARE(s.ReadInt(u"Config", u"Format", 1), 3);
        QCOMPARE(s.ReadInt(u"Settings", u"X", -1), -250);
        QVERIFY(s.ReadString(u"Config", u"LastFolderOut") == u"/home/u/Mail \u00e9t\u00e9/");
        QVERIFY(s.ReadString(u"Config", u"HtmlFileTitle") == u"a=b; c, d");
        // Sections are separate: the same key elsewhere is missing.
        QCOMPARE(s.ReadInt(u"Settings", u"Format", 7), 7);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ini = file.readAll();
        QVERIFY(ini.contains("[Config]"));
        QVERIFY(ini.contains("[Settings]"));
    }

    void NamesAreCaseInsensitive() {
        dbxw::TempDir temp;
        CQtAppSettings s(QString::fromStdString(temp.Path("q.ini").string()));
        s.WriteInt(u"Config", u"ExportSortBy", 4);
        QCOMPARE(s.ReadInt(u"config", u"EXPORTSORTBY", 1), 4);
        s.WriteInt(u"CONFIG", u"exportsortby", 6);
        QCOMPARE(s.ReadInt(u"Config", u"ExportSortBy", 1), 6);
    }

    void AStringIsNotAnInteger() {
        dbxw::TempDir temp;
        CQtAppSettings s(QString::fromStdString(temp.Path("q.ini").string()));
        s.WriteString(u"Config", u"Format", u"html");
        QCOMPARE(s.ReadInt(u"Config", u"Format", 1), 1);
        s.WriteInt(u"Config", u"ExportSortOrder", 1);
        QVERIFY(s.ReadString(u"Config", u"ExportSortOrder") == u"1");
    }

    void UserStoreIsTheKorvaneIniFile() {
        CQtAppSettings s;
        QVERIFY2(s.FileName().endsWith(QStringLiteral("/Korvane/Korvane Quillbox.ini")),
                 qPrintable(s.FileName()));
    }

    void UnwritableStoreReportsTheFailedWrite() {
        CQtAppSettings s(QStringLiteral("/proc/quillbox-no-such/q.ini"));
        QVERIFY(!s.WriteInt(u"Config", u"Format", 2));
        QVERIFY(!s.WriteString(u"Config", u"LastFileOut", u"x"));
    }
};

QTEST_MAIN(AppSettingsTest)
#include "app_settings_test.moc"
