// The PDO mapping editor: the layout's checks (table-driven, on channels of our own), entries
// read back or loaded that must not land outside the images, the mapping file, the EDS export
// read by an independent reader, and the dialog on the in-process simulated rack.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <VexaSdk.h>

#include <fstream>
#include <numeric>

#include "DeskHarness.h"
#include "core/CKNetCom2Global.h"
#include "core/EdsExport.h"
#include "core/MappingFile.h"
#include "core/PdoLayout.h"
#include "device/CDeviceThread.h"
#include "dialogs/CUsbDownDlg.h"
#include "views/CEqumentTree.h"
#include "views/CMainFrame.h"

using deskTest::Harness;
using deskTest::RackSpec;
using vexa::sim::subIdentity;
using namespace vexadesk;

Q_DECLARE_METATYPE(vexadesk::PdoMsg)

namespace {

IoMapRecord channel(std::uint8_t addr, std::uint8_t dir, std::uint8_t reg, std::uint8_t words,
                    std::uint16_t type = 0x1804) {
    IoMapRecord r{};
    r.subAddress = addr;
    r.direction = dir;
    r.reg = reg;
    r.lengthRegs = words;
    r.type = type;
    return r;
}

// Inputs 0..4 one word, 5 and 6 two words; outputs 0 one word, 1 two words, 2 the clear command.
PdoLayout sampleLayout() {
    PdoLayout l;
    l.setChannels({channel(1, 0, 0x40, 1), channel(1, 0, 0x41, 1), channel(1, 0, 0x42, 1), channel(1, 0, 0x43, 1),
                   channel(1, 0, 0x44, 1), channel(2, 0, 0x50, 2), channel(2, 0, 0x52, 2),
                   channel(3, 1, 0x60, 1), channel(3, 1, 0x62, 2), channel(4, 1, 0x5E, 1, 0x3412)});
    l.setNodeAddress(5);
    return l;
}

PdoTarget pdoNode(bool rpdo, int n) { return PdoTarget{PdoTarget::Pdo, rpdo, n, -1}; }

PdoMapEntry entry(std::uint8_t offset, std::uint8_t pdo, std::uint8_t addr, std::uint8_t reg, std::uint8_t words) {
    return PdoMapEntry{{offset, pdo, addr, reg, words, 0}, 0, 0};
}

int usedWords(const PdoLayout& l, bool output) {
    int n = 0;
    for (int w = 0; w < l.imageWords(output); ++w) n += l.wordUsed(output, w);
    return n;
}
int freeChannels(const PdoLayout& l, bool output) {
    int n = 0;
    for (int i = 0; i < static_cast<int>(l.channels(output).size()); ++i) n += l.channelFree(output, i);
    return n;
}

// One step of an editing script: add channel `ch` of a side at `offset` to a target.
struct Step {
    bool output;
    int ch;
    int offset;
    PdoTarget target;
    PdoMsg expect;
};
using Script = std::vector<Step>;

RackSpec rack() {
    return RackSpec{{{{1, subIdentity(0x4017)}, {2, subIdentity(0x4410)}, {3, subIdentity(0x2808)},
                      {4, subIdentity(0x1804)}}}};
}

QString tempFile(const QString& name) { return QDir::temp().filePath(QStringLiteral("vexa-map-%1-%2").arg(QCoreApplication::applicationPid()).arg(name)); }

std::vector<std::array<std::uint8_t, 8>> bytesOf(const std::vector<PdoMapEntry>& v) {
    std::vector<std::array<std::uint8_t, 8>> out;
    for (const auto& e : v) {
        std::array<std::uint8_t, 8> b;
        std::memcpy(b.data(), &e, 8);
        out.push_back(b);
    }
    return out;
}

QStringList treeTexts(QTreeWidget* t) {
    QStringList out;
    for (int r = 0; r < t->topLevelItemCount(); ++r)
        for (int p = 0; p < t->topLevelItem(r)->childCount(); ++p) {
            auto* n = t->topLevelItem(r)->child(p);
            out << n->text(0);
            for (int k = 0; k < n->childCount(); ++k) out << QStringLiteral("  ") + n->child(k)->text(0);
        }
    return out;
}

}  // namespace

class MappingTest : public QObject {
    Q_OBJECT

    static bool waitDlg(CUsbDownDlg& d) { return QTest::qWaitFor([&] { return !d.busy(); }, 20000); }

    // A dialog on the first coupler of the rack, opened and read.
    static std::unique_ptr<CUsbDownDlg> openDialog(Harness& h) {
        h.search();
        auto& records = h.frame().tree()->records();
        if (records.empty()) return nullptr;
        auto d = std::make_unique<CUsbDownDlg>(*records[0], h.thread(), nullptr);
        d->setEdsTemplate(QStringLiteral(VEXADESK_FILES_DIR "/config/VEXA_9020tmp.eds"));
        if (!waitDlg(*d)) return nullptr;
        return d;
    }

    // Maps, through the dialog's controls, the first one- and two-word channels of each side.
    static int mapSome(CUsbDownDlg& d) {
        int added = 0;
        for (bool output : {false, true}) {
            const auto& ch = d.layout().channels(output);
            int pdo = 0, offset = 0;
            for (int want : {1, 2, 1, 2}) {
                for (int i = 0; i < static_cast<int>(ch.size()); ++i) {
                    if (ch[static_cast<size_t>(i)].lengthRegs != want || !d.layout().channelFree(output, i)) continue;
                    d.selectNode(output, pdo);
                    d.selectChannel(output, i, offset);
                    if (!d.addButton(output)->isEnabled()) return -1;
                    d.addButton(output)->click();
                    ++added;
                    offset += 2;
                    pdo = (pdo + 1) % 2;
                    break;
                }
            }
        }
        return added;
    }

private slots:
    void initTestCase() { qputenv("VEXA_TEST_HID_TIMEOUT_MS", "300"); }

    // The refusals of adding and its edge cases, as scripts over one layout.
    void adding_data() {
        QTest::addColumn<int>("script");
        QTest::newRow("two-word input at 63 aligns to 64: no room") << 0;
        QTest::newRow("two-word at an odd offset moves to the even one") << 1;
        QTest::newRow("fourth one-word entry fills, fifth refused") << 2;
        QTest::newRow("two-word into three used words refused") << 3;
        QTest::newRow("occupied words refused") << 4;
        QTest::newRow("a mapped channel cannot be mapped again") << 5;
        QTest::newRow("target must be a PDO of the channel's side") << 6;
        QTest::newRow("no channel selected") << 7;
        QTest::newRow("two-word output at 31 does not fit 32 words") << 8;
    }
    void adding() {
        QFETCH(int, script);
        const PdoTarget t0 = pdoNode(false, 0), t1 = pdoNode(false, 1), r0 = pdoNode(true, 0);
        const Script scripts[] = {
            {{false, 5, 63, t0, PdoMsg::OutOfImage}, {false, 5, 62, t0, PdoMsg::Ok}},
            {{false, 5, 1, t0, PdoMsg::Ok}, {false, 0, 2, t1, PdoMsg::WordsTaken}, {false, 0, 1, t1, PdoMsg::Ok}},
            {{false, 0, 0, t0, PdoMsg::Ok}, {false, 1, 1, t0, PdoMsg::Ok}, {false, 2, 2, t0, PdoMsg::Ok},
             {false, 3, 3, t0, PdoMsg::Ok}, {false, 4, 4, t0, PdoMsg::PdoFull}, {false, 4, 4, t1, PdoMsg::Ok}},
            {{false, 0, 0, t0, PdoMsg::Ok}, {false, 1, 1, t0, PdoMsg::Ok}, {false, 2, 2, t0, PdoMsg::Ok},
             {false, 5, 4, t0, PdoMsg::PdoFull}},
            {{false, 0, 10, t0, PdoMsg::Ok}, {false, 1, 10, t1, PdoMsg::WordsTaken},
             {false, 5, 9, t1, PdoMsg::WordsTaken}, {false, 5, 11, t1, PdoMsg::Ok}},
            {{false, 0, 0, t0, PdoMsg::Ok}, {false, 0, 1, t1, PdoMsg::ChannelTaken}},
            {{false, 0, 0, r0, PdoMsg::NotAPdoNode}, {false, 0, 0, PdoTarget{PdoTarget::Root, false}, PdoMsg::NotAPdoNode},
             {false, 0, 0, PdoTarget{}, PdoMsg::NotAPdoNode}, {false, 0, 0, PdoTarget{PdoTarget::Entry, false, 0, 0}, PdoMsg::NotAPdoNode},
             {true, 0, 0, t0, PdoMsg::NotAPdoNode}, {true, 0, 0, r0, PdoMsg::Ok}},
            {{false, -1, 0, t0, PdoMsg::NoChannel}, {false, 99, 0, t0, PdoMsg::NoChannel}},
            {{true, 1, 31, r0, PdoMsg::OutOfImage}, {true, 1, 30, r0, PdoMsg::Ok}},
        };
        PdoLayout l = sampleLayout();
        int words = 0;
        for (const Step& s : scripts[script]) {
            const int before = usedWords(l, s.output);
            QCOMPARE(l.add(s.output, s.ch, s.offset, s.target), s.expect);
            if (s.expect == PdoMsg::Ok) words += l.channels(s.output)[static_cast<size_t>(s.ch)].lengthRegs;
            else QCOMPARE(usedWords(l, s.output), before);  // a refusal changes nothing
        }
        QCOMPARE(usedWords(l, false) + usedWords(l, true), words);
        if (script == 1) {
            QCOMPARE(l.pdo(false, 0).items[0].offset(), 2);
            QVERIFY(l.wordUsed(false, 2) && l.wordUsed(false, 3) && l.wordUsed(false, 1) && !l.wordUsed(false, 0));
        }
        if (script == 2) QCOMPARE(l.pdo(false, 0).usedWords, 4);
    }

    void canIdentifiers_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<uint>("tpdo");
        QTest::addColumn<uint>("rpdo");
        QTest::newRow("0") << 0 << 0x185u << 0x205u;
        QTest::newRow("1") << 1 << 0x285u << 0x305u;
        QTest::newRow("2") << 2 << 0x385u << 0x405u;
        QTest::newRow("3") << 3 << 0x485u << 0x505u;
        QTest::newRow("TPDO 5") << 5 << 0x80000005u << 0x80000005u;
    }
    void canIdentifiers() {
        QFETCH(int, n);
        QFETCH(uint, tpdo);
        QFETCH(uint, rpdo);
        PdoLayout l = sampleLayout();
        QCOMPARE(l.pdo(false, n).canId, tpdo);
        QCOMPARE(l.pdo(true, n).canId, rpdo);
        QCOMPARE(QString::fromStdString(PdoLayout::pdoText(l.pdo(false, 5))), QStringLiteral("TPDO 6 - CANID:0x80000005"));
    }

    void texts() {
        PdoLayout l = sampleLayout();
        QCOMPARE(l.add(false, 5, 4, pdoNode(false, 0)), PdoMsg::Ok);
        QCOMPARE(l.add(false, 0, 7, pdoNode(false, 0)), PdoMsg::Ok);
        QCOMPARE(l.add(true, 2, 3, pdoNode(true, 0)), PdoMsg::Ok);
        QCOMPARE(PdoLayout::itemText(l.pdo(false, 0).items[0], nullptr), std::string("VEXA-1804(ID:2)  -- U32(0x2001.03)"));
        QCOMPARE(PdoLayout::itemText(l.pdo(false, 0).items[1], nullptr), std::string("VEXA-1804(ID:1)  -- U16(0x2000.08)"));
        QCOMPARE(PdoLayout::itemText(l.pdo(true, 0).items[0], nullptr), std::string("VEXA-3412(ID:4) CLR_DICounter -- U16(0x2100.04)"));
    }

    // Roots cannot be deleted; an entry's deletion frees its words and its channel; clearing
    // frees everything.
    void deletingAndClearing() {
        PdoLayout l = sampleLayout();
        QCOMPARE(l.remove(PdoTarget{}), PdoMsg::NothingSelected);
        QCOMPARE(l.remove(PdoTarget{PdoTarget::Root, true}), PdoMsg::RootNotDeletable);
        QCOMPARE(l.remove(pdoNode(false, 3)), PdoMsg::PdoRootNotDeletable);
        QCOMPARE(l.remove(PdoTarget{PdoTarget::Entry, false, 0, 0}), PdoMsg::NothingSelected);
        QCOMPARE(l.add(false, 5, 0, pdoNode(false, 0)), PdoMsg::Ok);
        QCOMPARE(l.add(false, 0, 2, pdoNode(false, 0)), PdoMsg::Ok);
        QCOMPARE(l.add(true, 0, 0, pdoNode(true, 7)), PdoMsg::Ok);
        QCOMPARE(l.remove(PdoTarget{PdoTarget::Entry, false, 0, 0}), PdoMsg::Ok);
        QCOMPARE(l.pdo(false, 0).usedWords, 1);
        QVERIFY(!l.wordUsed(false, 0) && l.wordUsed(false, 2));
        QVERIFY(l.channelFree(false, 5));
        QCOMPARE(l.add(false, 5, 0, pdoNode(false, 1)), PdoMsg::Ok);  // mappable again
        l.clear();
        QCOMPARE(l.entryCount(), 0);
        QCOMPARE(usedWords(l, false) + usedWords(l, true), 0);
        QCOMPARE(freeChannels(l, false), 7);
        QCOMPARE(freeChannels(l, true), 3);
        for (int p = 0; p < 16; ++p) QCOMPARE(l.pdo(false, p).usedWords, 0);
    }

    // Read-back and loaded entries pass the checks of adding; the bad ones are dropped.
    void placingReadEntries_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("pdo");
        QTest::addColumn<int>("words");
        QTest::addColumn<PdoMsg>("expect");
        QTest::addColumn<int>("placedAt");
        QTest::newRow("DatIDOffset 200") << 200 << 0 << 1 << PdoMsg::OutOfImage << -1;
        QTest::newRow("offset 63, two words") << 63 << 0 << 2 << PdoMsg::OutOfImage << -1;
        QTest::newRow("odd two-word offset aligned") << 5 << 0 << 2 << PdoMsg::Ok << 6;
        QTest::newRow("PDO byte 255") << 0 << 255 << 1 << PdoMsg::NotAPdoNode << -1;
        QTest::newRow("position nibble is not the PDO") << 0 << 0x10 << 1 << PdoMsg::Ok << 0;  // position 1 of TPDO 0
        QTest::newRow("no words") << 0 << 0 << 0 << PdoMsg::BadLength << -1;
        QTest::newRow("three words") << 0 << 0 << 3 << PdoMsg::BadLength << -1;
        QTest::newRow("over the occupied word 20") << 20 << 1 << 1 << PdoMsg::WordsTaken << -1;
        QTest::newRow("into the full PDO 2") << 40 << 2 << 1 << PdoMsg::PdoFull << -1;
    }
    void placingReadEntries() {
        QFETCH(int, offset);
        QFETCH(int, pdo);
        QFETCH(int, words);
        QFETCH(PdoMsg, expect);
        QFETCH(int, placedAt);
        PdoLayout l = sampleLayout();
        // Word 20 taken; TPDO 2 full with entries for no known channel.
        QCOMPARE(l.place(false, entry(20, 3, 9, 0x10, 1)), PdoMsg::Ok);
        for (std::uint8_t i = 0; i < 2; ++i) QCOMPARE(l.place(false, entry(30 + 2 * i, 2, 9, 0x20, 2)), PdoMsg::Ok);
        const int before = usedWords(l, false);
        const std::uint8_t reg = words == 2 ? 0x50 : 0x40;
        QCOMPARE(l.place(false, entry(static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(pdo),
                                      words == 2 ? 2 : 1, reg, static_cast<std::uint8_t>(words))),
                 expect);
        if (expect != PdoMsg::Ok) {
            QCOMPARE(usedWords(l, false), before);
            QCOMPARE(freeChannels(l, false), 7);
            return;
        }
        const PdoItem& it = l.pdo(false, pdo & 0x0F).items.back();
        QCOMPARE(it.offset(), placedAt);
        QCOMPARE(int(it.channel()), words == 2 ? 5 : 0);
        QCOMPARE(int(it.type), 0x1804);
        QCOMPARE(freeChannels(l, false), 6);
    }

    // An entry for no known channel keeps index 255; placing, deleting and clearing it never
    // touch the free channel lists.
    void unknownChannelNeverTouchesTheFreeLists() {
        PdoLayout l = sampleLayout();
        QCOMPARE(l.place(true, entry(4, 0x01, 9, 0x99, 1)), PdoMsg::Ok);
        QCOMPARE(int(l.pdo(true, 1).items[0].channel()), 255);
        QCOMPARE(freeChannels(l, true), 3);
        QCOMPARE(l.remove(PdoTarget{PdoTarget::Entry, true, 1, 0}), PdoMsg::Ok);
        QCOMPARE(freeChannels(l, true), 3);
        QCOMPARE(l.place(true, entry(4, 0x01, 9, 0x99, 1)), PdoMsg::Ok);
        l.clear();
        QCOMPARE(freeChannels(l, true), 3);
        // A second entry for a channel already mapped is refused, not mapped twice.
        QCOMPARE(l.place(true, entry(0, 0, 3, 0x60, 1)), PdoMsg::Ok);
        QCOMPARE(l.place(true, entry(1, 1, 3, 0x60, 1)), PdoMsg::ChannelTaken);
        auto dropped = l.placeAll({entry(250, 0, 3, 0x62, 2), entry(2, 0x03, 3, 0x62, 2)}, {entry(5, 0, 1, 0x40, 1)});
        QCOMPARE(dropped.size(), size_t(1));
        QVERIFY(dropped[0].rpdo);
        QCOMPARE(dropped[0].position, 0);
        QCOMPARE(dropped[0].why, PdoMsg::OutOfImage);
    }

    void mappingFileRoundTrip() {
        PdoLayout l = sampleLayout();
        QCOMPARE(l.add(false, 5, 3, pdoNode(false, 2)), PdoMsg::Ok);
        QCOMPARE(l.add(false, 0, 0, pdoNode(false, 2)), PdoMsg::Ok);
        QCOMPARE(l.add(false, 1, 1, pdoNode(false, 15)), PdoMsg::Ok);
        QCOMPARE(l.add(true, 1, 2, pdoNode(true, 7)), PdoMsg::Ok);
        const QString path = tempFile(QStringLiteral("round.xml"));
        {
            std::ofstream f(path.toStdString());
            f << "<?xml version=\"1.0\"?>\n<Note keep=\"1\"/>\n<TPDO><Other/></TPDO>\n";
        }
        QCOMPARE(saveMappingFile(path.toStdString(), l.entries(true), l.entries(false)), MappingFileResult::Ok);
        MappingFileContent c;
        QCOMPARE(loadMappingFile(path.toStdString(), c), MappingFileResult::Ok);
        QVERIFY(c.dropped.empty());
        QCOMPARE(bytesOf(c.rpdo), bytesOf(l.entries(true)));
        QCOMPARE(bytesOf(c.tpdo), bytesOf(l.entries(false)));
        PdoLayout back = sampleLayout();
        QVERIFY(back.placeAll(c.rpdo, c.tpdo).empty());
        QCOMPARE(bytesOf(back.entries(false)), bytesOf(l.entries(false)));
        QCOMPARE(bytesOf(back.entries(true)), bytesOf(l.entries(true)));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("<Note keep=\"1\"/>") && text.contains("<Other/>"));  // the rest is kept
        QVERIFY(text.contains("DatIDOffset=\"4\""));  // aligned from 3
        QFile::remove(path);
    }

    void malformedMappingFiles_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("dropReason");
        const QByteArray good = "<PDOMap bRPDO=\"0\" chlindex=\"0\" DatIDOffset=\"0\" PDOPara=\"0\" VEXASlaveID=\"1\" SourceID=\"64\" SourceNum=\"1\" EndType=\"0\"/>";
        auto one = [&](const QByteArray& a) { return "<RPDO/><TPDO>" + good + a + "</TPDO>"; };
        QTest::newRow("not XML") << QByteArray("<RPDO><TPDO>") << int(MappingFileResult::ReadFailed) << 0 << QString();
        QTest::newRow("no TPDO") << QByteArray("<RPDO/>") << int(MappingFileResult::NoSides) << 0 << QString();
        QTest::newRow("empty file") << QByteArray() << int(MappingFileResult::ReadFailed) << 0 << QString();
        QTest::newRow("DatIDOffset 300 is no 44")
            << one("<PDOMap bRPDO=\"0\" chlindex=\"0\" DatIDOffset=\"300\" PDOPara=\"1\" VEXASlaveID=\"1\" SourceID=\"65\" SourceNum=\"1\" EndType=\"0\"/>")
            << 0 << 1 << QStringLiteral("DatIDOffset=300");
        QTest::newRow("negative PDOPara")
            << one("<PDOMap bRPDO=\"0\" chlindex=\"0\" DatIDOffset=\"3\" PDOPara=\"-1\" VEXASlaveID=\"1\" SourceID=\"65\" SourceNum=\"1\" EndType=\"0\"/>")
            << 0 << 1 << QStringLiteral("PDOPara=-1");
        QTest::newRow("missing SourceNum")
            << one("<PDOMap bRPDO=\"0\" chlindex=\"0\" DatIDOffset=\"3\" PDOPara=\"1\" VEXASlaveID=\"1\" SourceID=\"65\" EndType=\"0\"/>")
            << 0 << 1 << QStringLiteral("SourceNum (-)");
        QTest::newRow("text for a number")
            << one("<PDOMap bRPDO=\"0\" chlindex=\"x\" DatIDOffset=\"3\" PDOPara=\"1\" VEXASlaveID=\"1\" SourceID=\"65\" SourceNum=\"1\" EndType=\"0\"/>")
            << 0 << 1 << QStringLiteral("chlindex (?)");
        QTest::newRow("output entry under TPDO")
            << one("<PDOMap bRPDO=\"1\" chlindex=\"0\" DatIDOffset=\"3\" PDOPara=\"1\" VEXASlaveID=\"1\" SourceID=\"65\" SourceNum=\"1\" EndType=\"0\"/>")
            << 0 << 1 << QStringLiteral("bRPDO=1");
    }
    void malformedMappingFiles() {
        QFETCH(QByteArray, xml);
        QFETCH(int, result);
        QFETCH(int, kept);
        QFETCH(QString, dropReason);
        const QString path = tempFile(QStringLiteral("bad.xml"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(xml);
        }
        MappingFileContent c;
        QCOMPARE(int(loadMappingFile(path.toStdString(), c)), result);
        QCOMPARE(int(c.tpdo.size() + c.rpdo.size()), kept);
        if (!dropReason.isEmpty()) {
            QCOMPARE(c.dropped.size(), size_t(1));
            QCOMPARE(QString::fromStdString(c.dropped[0].reason), dropReason);
            QCOMPARE(c.dropped[0].position, 1);
        }
        QFile::remove(path);
    }

    // Missing template: a message, no file. A copy that fails: nothing written.
    void edsWithoutTemplateOrTarget() {
        PdoLayout l = sampleLayout();
        EdsInput in;
        in.layout = &l;
        const QString target = tempFile(QStringLiteral("none.eds"));
        QCOMPARE(exportEds("/nonexistent/VEXA_9020tmp.eds", target.toStdString(), in), EdsResult::NoTemplate);
        QVERIFY(!QFile::exists(target));
        QCOMPARE(exportEds(VEXADESK_FILES_DIR "/config/VEXA_9020tmp.eds", "/nonexistent/dir/x.eds", in),
                 EdsResult::CopyFailed);
        QVERIFY(!QFile::exists(QStringLiteral("/nonexistent/dir/x.eds")));
    }

    // The dialog on the simulated rack: channels and node address on opening, mapping by its
    // controls, download and read back into the same editor, the file round trip, the EDS.
    void dialogDownloadReadBackFileAndEds() {
        Harness h(rack());
        auto d = openDialog(h);
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("从站配置下载"));
        QVERIFY(d->nodeLabel()->text().startsWith(QStringLiteral("CANopen节点地址: ")));
        QVERIFY(!d->layout().channels(false).empty());
        QVERIFY(!d->layout().channels(true).empty());
        QCOMPARE(d->channelList(false)->count(), int(d->layout().channels(false).size()));
        QCOMPARE(d->tree()->topLevelItem(0)->text(0), QStringLiteral("TPDO(输入资源配置)"));
        QCOMPARE(d->tree()->topLevelItem(1)->childCount(), 8);
        QVERIFY(!d->addButton(false)->isEnabled());

        const int added = mapSome(*d);
        QVERIFY2(added >= 3, "the rack offers channels of both sides");
        QCOMPARE(d->layout().entryCount(), added);
        const auto tpdo = bytesOf(d->layout().entries(false)), rpdo = bytesOf(d->layout().entries(true));
        const QStringList texts = treeTexts(d->tree());
        // A mapped channel leaves the list of free channels.
        QCOMPARE(d->channelList(false)->count(), int(d->layout().channels(false).size()) - int(tpdo.size()));

        d->downloadAll();
        QVERIFY(waitDlg(*d));
        QCOMPARE(h.messages().messages.size(), size_t(0));
        QCOMPARE(bytesOf(d->layout().entries(false)), tpdo);
        QCOMPARE(bytesOf(d->layout().entries(true)), rpdo);
        QCOMPARE(treeTexts(d->tree()), texts);
        QCOMPARE(d->readList(1)->topLevelItemCount(), int(tpdo.size()));
        QCOMPARE(d->readList(2)->topLevelItemCount(), int(rpdo.size()));
        QCOMPARE(h.coupler(0).canOpenImage().tpdo.size(), tpdo.size());

        // A fresh dialog reads the same mapping from the coupler.
        auto again = std::make_unique<CUsbDownDlg>(*h.frame().tree()->records()[0], h.thread(), nullptr);
        QVERIFY(waitDlg(*again));
        QCOMPARE(treeTexts(again->tree()), texts);

        // Save, clear, load.
        const QString xml = tempFile(QStringLiteral("dlg.xml"));
        QVERIFY(d->saveMappingTo(xml));
        d->clearMapping();
        QCOMPARE(d->layout().entryCount(), 0);
        QCOMPARE(d->channelList(false)->count(), int(d->layout().channels(false).size()));
        QVERIFY(d->loadMappingFrom(xml));
        QCOMPARE(treeTexts(d->tree()), texts);
        QFile::remove(xml);

        // The EDS, read by an independent reader.
        const QString eds = tempFile(QStringLiteral("out.eds"));
        QVERIFY(d->exportEdsTo(eds));
        QStringList args{QStringLiteral(MAPPING_EDS_CHECK), eds};
        for (bool rpdoSide : {false, true})
            for (int p = 0; p < d->layout().pdoCount(rpdoSide); ++p) {
                const PdoNode& n = d->layout().pdo(rpdoSide, p);
                if (n.items.empty()) continue;
                args << QStringLiteral("--comm") << QStringLiteral("%1=0x%2").arg((rpdoSide ? 0x1400 : 0x1800) + p, 4, 16).arg(n.canId, 0, 16);
                QStringList values;
                for (const auto& it : n.items) {
                    int index = 0, sub = 0, bits = 0;
                    QVERIFY(PdoLayout::objectOf(it, index, sub, bits));
                    values << QStringLiteral("0x%1").arg((uint(index) << 16) | uint(sub << 8) | uint(bits), 8, 16, QLatin1Char('0'));
                }
                args << QStringLiteral("--map") << QStringLiteral("%1=%2").arg((rpdoSide ? 0x1600 : 0x1A00) + p, 4, 16).arg(values.join(','));
            }
        QProcess py;
        py.start(QStringLiteral(PYTHON3), args);
        QVERIFY(py.waitForFinished(30000));
        const QString out = QString::fromUtf8(py.readAllStandardOutput() + py.readAllStandardError());
        qInfo().noquote() << out;
        QVERIFY2(py.exitCode() == 0, qPrintable(out));
        QFile f(eds);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("FileName=" + QFileInfo(eds).fileName().toUtf8()));
        QFile::remove(eds);

        // A template that is not there: the message, and no file.
        d->setEdsTemplate(QStringLiteral("/nonexistent/VEXA_9020tmp.eds"));
        QVERIFY(!d->exportEdsTo(eds));
        QVERIFY(!QFile::exists(eds));
        QVERIFY(h.messages().saw("找不到EDS模板文件: /nonexistent/VEXA_9020tmp.eds"));
    }

    // A read-back that is missing an entry is a failure: the message, and the editor as it was.
    void failedReadBackLeavesTheEditor() {
        Harness h(rack());
        auto d = openDialog(h);
        QVERIFY(d);
        QVERIFY(mapSome(*d) >= 3);
        const QStringList texts = treeTexts(d->tree());
        h.coupler(0).pushHidScript({0x24, {0, 0, 0}, vexa::sim::HidScriptKind::Lose, {}});
        d->downloadAll();
        QVERIFY(waitDlg(*d));
        QVERIFY(h.messages().saw("获取信息出错"));
        QCOMPARE(treeTexts(d->tree()), texts);
        h.coupler(0).pushHidScript({0x34, {0}, vexa::sim::HidScriptKind::Refuse, {}});
        d->readMapping();
        QVERIFY(waitDlg(*d));
        QCOMPARE(treeTexts(d->tree()), texts);
    }

    // A mapping file with bad entries: the good ones placed, the bad ones named.
    void dialogLoadsWhatFitsAndNamesTheRest() {
        Harness h(rack());
        auto d = openDialog(h);
        QVERIFY(d);
        const auto& in = d->layout().channels(false);
        QVERIFY(!in.empty());
        const IoMapRecord c = in[0];
        auto map = [&](int offset, int para, int reg) {
            return QStringLiteral("<PDOMap bRPDO=\"0\" chlindex=\"0\" DatIDOffset=\"%1\" PDOPara=\"%2\" VEXASlaveID=\"%3\" "
                                  "SourceID=\"%4\" SourceNum=\"%5\" EndType=\"0\"/>")
                .arg(offset).arg(para).arg(c.subAddress).arg(reg).arg(c.lengthRegs);
        };
        const QString xml = QStringLiteral("<RPDO/><TPDO>") + map(0, 0, c.reg) + map(300, 1, c.reg) + map(200, 1, 0xEE) +
                            map(0, 2, 0xEF) + QStringLiteral("</TPDO>");
        const QString path = tempFile(QStringLiteral("mixed.xml"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(xml.toUtf8());
        }
        QVERIFY(d->loadMappingFrom(path));
        QCOMPARE(d->layout().entryCount(), 1);
        QCOMPARE(int(d->layout().pdo(false, 0).items[0].channel()), 0);
        QCOMPARE(h.messages().messages.size(), size_t(1));
        const QString text = QString::fromStdString(h.messages().messages[0].text);
        QVERIFY2(text.contains(QStringLiteral("DatIDOffset=300")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("偏移:200")) && text.contains(QStringLiteral("超出可映射内存")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("该偏移无足够内存映射")), qPrintable(text));
        QFile::remove(path);

        QVERIFY(!d->loadMappingFrom(QStringLiteral("/nonexistent.xml")));
        QVERIFY(h.messages().saw("读取文件失败"));
    }

    // Command 0x8026: the I/O map reaches the coupler.
    void downloadIoCommand() {
        Harness h(rack());
        h.search();
        DeviceRecord& r = *h.frame().tree()->records()[0];
        std::atomic<int> rc{-1};
        h.thread().post([&] { rc = downloadIo(r); });
        h.thread().waitIdle();
        QCOMPARE(rc.load(), 0);
        QVERIFY(!h.coupler(0).canOpenImage().ioMap.empty());
    }
};

QTEST_MAIN(MappingTest)
#include "MappingTest.moc"
