#include "app/main_window.h"
#include "calc/loop_calculation.h"
#include "calc/number_format.h"
#include "loops/loop_state.h"
#include "recording_seam.h"
#include "test_catalogues.h"
#include "window_checks.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <algorithm>
#include <memory>

// Plays seeded random sequences of user actions on the window and checks it, after every step,
// against a plain model of what it must show. A failing sequence is cut down to a short one that
// still fails, and printed with its seed.
//
//   QUILLON_RANDOM_SEED       seed of the first sequence (the next ones count up from it)
//   QUILLON_RANDOM_SEQUENCES  number of sequences
//   QUILLON_RANDOM_STEPS      steps per sequence
//   QUILLON_RANDOM_TRACE=1    print each step as it runs (to replay a crash)

namespace {

// Every device of the full catalogue has a second row.
constexpr int kRows = 2 * kDeviceCapacity;
// Replays spent on cutting down a failing sequence, at most.
constexpr int kMaxReplays = 200;
// What cellText gives for a cell without an item.

uint environmentNumber(const char *name, uint fallback)
{
    bool ok = false;
    const uint value = qgetenv(name).toUInt(&ok);
    return ok ? value : fallback;
}

enum class Action { Panel, Cable, SetCount, TypeCount, Paste, Tab, Calculate, Save, SaveAs, New, Open, Idle };

// How a question is answered: the unsaved-changes one with Save, Discard or Cancel; the one before
// a panel change that removes loops with Ok (Save and Discard) or Cancel.
enum class Answer { Save, Discard, Cancel };

// Which loops a cable choice goes to. Most go to loops still without a cable, as a user fills the
// list, so that Calculate gets past its cable check often enough to be tested.
enum class CableTarget { AnyLoop, FirstWithout, AllWithout };

// One user action. The loop, row and file are drawn as plain numbers and taken modulo what the
// window has when the step runs, so that any part of a sequence is a sequence too.
struct Step {
    Action action = Action::Idle;
    int choice = 0;  // panel or cable list index (0 the blank entry), tab, file, or milliseconds idle
    int row = 0;
    int loop = 0;
    bool replace = false;  // typing: select all and erase first; else type at the end
    CableTarget target = CableTarget::AnyLoop;
    Answer answer = Answer::Discard;  // to a question the step may bring
    QString text;          // the count set, the keys typed ('\b' is Backspace), or the text pasted
    QVector<QStringList> block;  // pasting: the cells of the block, as they stand in the text
    bool undo = false;           // pasting: Ctrl+Z afterwards
};

QString randomCount(QRandomGenerator &g)
{
    const int p = g.bounded(100);
    if (p < 10)
        return QString();
    if (p < 25)
        return QStringLiteral("0");
    if (p < 75)
        return QString::number(g.bounded(1, 10));
    // Rarely past a loop's 250 devices, which leaves the loop out of the results.
    if (p < 95)
        return QString::number(g.bounded(10, 100));
    return QString::number(g.bounded(100, 1000));
}

QString randomKeys(QRandomGenerator &g)
{
    // Digits twice as likely as the keys the validator refuses.
    static const QString keys = QStringLiteral("01234567890123456789x- \b\b");
    QString typed;
    for (int n = g.bounded(1, 5); n > 0; --n)
        typed += keys.at(g.bounded(keys.size()));
    return typed;
}

// A block as a spreadsheet copies it, now and then with a cell that is not a count, or too large
// for the grid from where it is pasted.
void randomBlock(QRandomGenerator &g, Step &s)
{
    const int rows = g.bounded(1, 5);
    const int columns = g.bounded(10) == 0 ? g.bounded(5, 18) : g.bounded(1, 5);
    static const QStringList bad{QStringLiteral("x"), QStringLiteral("1000"), QStringLiteral("-3"), QStringLiteral("1.5")};
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        for (int c = 0; c < columns; ++c) {
            QString cell = g.bounded(40) == 0 ? bad.at(g.bounded(bad.size())) : randomCount(g);
            if (g.bounded(8) == 0)
                cell = QStringLiteral(" ") + cell + QStringLiteral(" ");
            cells << cell;
        }
        s.block.append(cells);
    }
    const QString separator = g.bounded(10) < 7 ? QStringLiteral("\t") : g.bounded(2) ? QStringLiteral(";") : QStringLiteral(",");
    const QString lineEnd = g.bounded(2) ? QStringLiteral("\n") : QStringLiteral("\r\n");
    QStringList lines;
    for (const QStringList &cells : s.block)
        lines << cells.join(separator);
    s.text = lines.join(lineEnd);
    if (g.bounded(10) < 7)
        s.text += lineEnd;
    s.undo = g.bounded(10) < 3;
}

QVector<Step> makeSequence(uint seed, int length)
{
    struct Weight {
        Action action;
        int weight;
    };
    static const Weight weights[] = {
        {Action::Panel, 10}, {Action::Cable, 14},    {Action::SetCount, 16}, {Action::TypeCount, 14}, {Action::Paste, 8},
        {Action::Tab, 6},    {Action::Calculate, 10}, {Action::Save, 4},      {Action::SaveAs, 2},
        {Action::New, 2},    {Action::Open, 6},       {Action::Idle, 14},
    };
    int total = 0;
    for (const Weight &w : weights)
        total += w.weight;

    QRandomGenerator g(seed);
    QVector<Step> steps;
    for (int n = 0; n < length; ++n) {
        Step s;
        int pick = g.bounded(total);
        for (const Weight &w : weights) {
            if (pick < w.weight) {
                s.action = w.action;
                break;
            }
            pick -= w.weight;
        }
        s.row = g.bounded(kRows);
        s.loop = g.bounded(kMaxLoops);
        s.answer = Answer(g.bounded(3));
        switch (s.action) {
        case Action::Panel:
            s.choice = g.bounded(kPanelCapacity + 1);
            break;
        case Action::Cable: {
            s.choice = g.bounded(kCableCapacity + 1);
            const int p = g.bounded(10);
            s.target = p < 2 ? CableTarget::AnyLoop : p < 6 ? CableTarget::FirstWithout : CableTarget::AllWithout;
            break;
        }
        case Action::SetCount:
            s.text = randomCount(g);
            break;
        case Action::TypeCount:
            s.replace = g.bounded(2) == 0;
            s.text = randomKeys(g);
            break;
        case Action::Paste:
            randomBlock(g, s);
            break;
        case Action::Tab:
            s.choice = g.bounded(3);
            break;
        case Action::Open:
            s.choice = g.bounded(1000);
            break;
        case Action::Idle:
            // Mostly a few of the pool's 2 ms slices; now and then long enough for many.
            s.choice = g.bounded(25) ? g.bounded(1, 16) : g.bounded(50, 151);
            break;
        case Action::Calculate:
        case Action::Save:
        case Action::SaveAs:
        case Action::New:
            break;
        }
        steps.append(s);
    }
    return steps;
}

// A count text a field can reach key by key: 0 to 999 without leading zeros, or empty.
bool countTextAllowed(const QString &text)
{
    if (text.size() > 3)
        return false;
    for (const QChar c : text)
        if (!c.isDigit())
            return false;
    return text.size() < 2 || text.at(0) != QLatin1Char('0');
}

struct SavedProject {
    QString projectName;
    QString comment;
    QString panelName;
    int loops = 0;
    QString cableNames[kMaxLoops];
    QString counts[kRows][kMaxLoops];

    // The same project, as Save would write it.
    bool sameAs(const SavedProject &o) const
    {
        if (projectName != o.projectName || comment != o.comment || panelName != o.panelName || loops != o.loops)
            return false;
        for (int i = 0; i < loops; ++i) {
            if (cableNames[i] != o.cableNames[i])
                return false;
            for (int r = 0; r < kRows; ++r)
                if (counts[r][i] != o.counts[r][i])
                    return false;
        }
        return true;
    }
};

// What the window must show, kept by rules of its own; only the arithmetic and the number formats
// are the program's.
struct Model {
    Model()
    {
        for (int i = 0; i < full.panelCount; ++i)
            panels.append(full.panels[i]);
        for (int i = 0; i < full.cableCount; ++i)
            cables.append(full.cables[i]);
        // The lists are in text order, after the blank entry.
        std::sort(panels.begin(), panels.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
        std::sort(cables.begin(), cables.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    }

    int panelIndex(const QString &name) const
    {
        for (int i = 0; i < panels.size(); ++i)
            if (!name.isEmpty() && panels[i].name == name)
                return i + 1;
        return 0;
    }
    int cableIndex(const QString &name) const
    {
        for (int i = 0; i < cables.size(); ++i)
            if (!name.isEmpty() && cables[i].name == name)
                return i + 1;
        return 0;
    }

    // The loops from `kept` on that hold a cable or a count other than 0, as the question names them.
    QStringList loopsLosingWork(int kept) const
    {
        QStringList losing;
        for (int i = kept; i < loops; ++i) {
            bool work = cable[i] != 0;
            for (int r = 0; r < kRows; ++r)
                work = work || !(counts[r][i].isEmpty() || counts[r][i] == QLatin1String("0"));
            if (work)
                losing << QStringLiteral("Loop%1").arg(i + 1);
        }
        return losing;
    }

    // The panel box as the user changes it: loops the new panel has keep their cable and counts,
    // after a question when others would lose theirs.
    void choosePanelInBox(int index, Answer answer)
    {
        if (index == panel)
            return;
        const int newLoops = index == 0 ? 0 : panels[index - 1].loopCount;
        const QStringList losing = loopsLosingWork(newLoops);
        if (!losing.isEmpty()) {
            questions << QStringLiteral("Remove the cable and counts of %1?").arg(losing.join(QStringLiteral(", ")));
            if (answer == Answer::Cancel)
                return;
        }
        const int kept = std::min(loops, newLoops);
        std::vector<int> keptCables(cable, cable + kept);
        std::vector<std::vector<QString>> keptCounts(kRows);
        for (int r = 0; r < kRows; ++r)
            keptCounts[r].assign(counts[r], counts[r] + kept);
        choosePanel(index);
        for (int i = 0; i < kept; ++i) {
            chooseCable(i, keptCables[i]);
            for (int r = 0; r < kRows; ++r)
                counts[r][i] = keptCounts[r][i];
        }
    }

    // New and Open: the panel starts afresh.
    void choosePanel(int index)
    {
        if (index == panel)
            return;
        panel = index;
        if (index == 0) {
            loops = 0;
            panelName.clear();
        } else {
            const PanelRecord &p = panels[index - 1];
            loops = p.loopCount;
            panelName = p.name;
            voltage = p.loopVoltage;
            maxCurrent = p.maxLoopCurrent;
            std::copy(p.maxDevices, p.maxDevices + loops, maxDevices);
        }
        for (int i = 0; i < kMaxLoops; ++i) {
            cable[i] = 0;
            cableName[i].clear();
            cableResistance[i] = 0.0f;
            comments[i].clear();
        }
        for (auto &row : counts)
            std::fill(row, row + loops, QStringLiteral("0"));
        forgetResults();
    }

    // No result stands, and no loop invites a new Calculate: a panel change and Open.
    void forgetResults()
    {
        std::fill(std::begin(stands), std::end(stands), false);
        std::fill(std::begin(dropped), std::end(dropped), false);
        for (int k = 0; k < kMaxLoops; ++k)
            render(k);
    }

    QString cableShown(int loop) const { return cable[loop] > 0 ? cables[cable[loop] - 1].name : QString(); }

    // After a change to a loop's cable box or counts: its result goes when they no longer give it.
    void touched(int loop)
    {
        if (!stands[loop])
            return;
        bool same = cableShown(loop) == fromCable[loop];
        for (int r = 0; r < kRows && same; ++r)
            same = parseCountText(counts[r][loop]) == fromCounts[r][loop];
        if (same)
            return;
        stands[loop] = false;
        dropped[loop] = true;
        render(loop);
    }

    // The cells and comment of loop k from what stands: every figure only beside its inputs.
    void render(int k)
    {
        QString *calc = calculationCells[k];
        QString *summary = summaryCells[k];
        calc[0] = summary[0] = QStringLiteral("Loop%1").arg(k + 1);
        std::fill(calc + 1, calc + 5, QString());
        std::fill(summary + 1, summary + 10, QString());
        comments[k].clear();
        if (!stands[k]) {
            if (dropped[k])
                comments[k] = QStringLiteral("Loop%1:Inputs changed since the last calculation. Press Calculate.").arg(k + 1);
            return;
        }
        summary[8] = fromCable[k];
        comments[k] = reasons[k].join(QLatin1Char('\n'));
        if (!shown[k])
            return;
        for (int c = 1; c < 5; ++c)
            calc[c] = figures[k][c];
        summary[1] = detectors[k];
        summary[2] = modules[k];
        summary[3] = sounders[k];
        summary[4] = others[k];
        summary[5] = calc[1];
        summary[6] = calc[2];
        summary[7] = calc[3];
        summary[9] = calc[4];
    }

    void chooseCable(int loop, int index)
    {
        if (index == cable[loop])
            return;
        cable[loop] = index;
        // The blank entry leaves the loop's cable as it was.
        if (index > 0) {
            cableName[loop] = cables[index - 1].name;
            cableResistance[loop] = cables[index - 1].resistance;
        }
        touched(loop);
    }

    // The text a field shows after the keys, starting from `text` with the cursor at the end.
    static QString typed(QString text, bool replace, const QString &keys)
    {
        if (replace)
            text.clear();
        for (const QChar key : keys) {
            if (key == QLatin1Char('\b'))
                text.chop(1);
            else if (key.isDigit() && text == QLatin1String("0"))
                text = key;  // a digit replaces a lone 0
            else if (countTextAllowed(text + key))
                text += key;
        }
        return text;
    }

    // A block pasted at (row, loop): refused whole with one message, or written cell by cell. True
    // when it changed a count, so that Ctrl+Z (undo) takes it back as one step.
    bool paste(int row, int loop, const QVector<QStringList> &block, bool undo)
    {
        int width = 0;
        for (int r = 0; r < block.size(); ++r) {
            width = std::max(width, int(block[r].size()));
            for (int c = 0; c < block[r].size(); ++c) {
                const QString cell = block[r][c].trimmed();
                if (!cell.isEmpty() && !countTextAllowed(cell)) {
                    messages << QStringLiteral("Nothing was pasted: the cell in row %1, column %2 of the copied block "
                                               "holds \"%3\", which is not a whole number from 0 to 999.")
                                    .arg(r + 1)
                                    .arg(c + 1)
                                    .arg(cell);
                    return false;
                }
            }
        }
        const int roomRows = kRows - row, roomLoops = loops - loop;
        if (block.size() > roomRows || width > roomLoops) {
            auto rows = [](int n) { return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n); };
            auto columns = [](int n) { return n == 1 ? QStringLiteral("1 column") : QStringLiteral("%1 columns").arg(n); };
            messages << QStringLiteral("Nothing was pasted: the copied block has %1 and %2, but from this field the "
                                       "grid has room for %3 and %4.")
                            .arg(rows(block.size()), columns(width), rows(roomRows), columns(roomLoops));
            return false;
        }
        bool changed = false;
        std::vector<QString> before(&counts[0][0], &counts[0][0] + kRows * kMaxLoops);
        for (int r = 0; r < block.size(); ++r) {
            for (int c = 0; c < block[r].size(); ++c) {
                const QString cell = block[r][c].trimmed();
                const QString count = cell.isEmpty() ? QStringLiteral("0") : cell;
                changed = changed || counts[row + r][loop + c] != count;
                counts[row + r][loop + c] = count;
            }
        }
        // The pasted counts stood in the grid, if only until an undo: their loops' results go.
        for (int c = 0; c < width; ++c)
            touched(loop + c);
        if (undo)
            std::copy(before.begin(), before.end(), &counts[0][0]);
        return changed;
    }

    void calculate()
    {
        if (panel == 0) {
            messages << QStringLiteral("Please select panel model!");
            return;
        }
        bool cableMissing = false;
        for (int i = 0; i < loops; ++i) {
            if (cable[i] == 0) {
                messages << QStringLiteral("Loop%1:Please select cable type!").arg(i + 1);
                cableMissing = true;
            }
        }
        if (cableMissing)
            return;

        CalculationInputs in;
        in.loopCount = loops;
        in.readCounts = loops > 0;
        in.countTexts.resize(kRows);
        for (int r = 0; r < kRows; ++r) {
            for (int i = 0; i < loops; ++i) {
                if (counts[r][i].isEmpty())
                    counts[r][i] = QStringLiteral("0");
                in.countTexts[r].append(counts[r][i]);
            }
        }
        in.panelLoopVoltage = voltage;
        in.panelMaxLoopCurrent = maxCurrent;
        std::copy(maxDevices, maxDevices + kMaxLoops, in.loopMaxDevices);
        std::copy(cableResistance, cableResistance + kMaxLoops, in.loopCableResistance);
        in.condition = full.condition;
        QMap<QString, DeviceRecord> devices;
        for (int i = 0; i < full.deviceCount; ++i)
            devices.insert(full.devices[i].code, full.devices[i]);

        const LoopResults results = calculateLoops(devices, in);
        messages << results.checkWarnings;
        const LoopTotals &t = results.totals;
        std::fill(std::begin(stands), std::end(stands), false);
        std::fill(std::begin(dropped), std::end(dropped), false);
        for (int k = 0; k < loops; ++k) {
            stands[k] = true;
            fromCable[k] = cableShown(k);
            for (int r = 0; r < kRows; ++r)
                fromCounts[r][k] = parseCountText(counts[r][k]);
            reasons[k] = results.leftOutReasons[k];
            shown[k] = !results.excluded(k);
            if (shown[k]) {
                QString *calc = figures[k];
                calc[1] = formatCurrent(t.quiescentTotal[k]);
                calc[2] = formatCurrent(t.alarmTotal[k]);
                calc[3] = lengthCellText(t.maxLength[k], full.condition.maxLoopLength, results.noVoltageMargin)
                              .value_or(QString());
                const CurrentStatus status = results.status[k];
                calc[4] = status == CurrentStatus::Overloaded ? QString(QChar(0x00D7)) : QString(QChar(0x221A));
                reasons[k] = QStringList();
                if (!statusMessage(status, k + 1).isEmpty()) {
                    reasons[k] << statusMessage(status, k + 1);
                    messages << statusMessage(status, k + 1);
                }
                detectors[k] = formatCount(t.detectorTotal[k]);
                modules[k] = formatCount(t.moduleTotal[k]);
                sounders[k] = formatCount(t.sounderTotal[k]);
                others[k] = formatCount(t.otherTotal[k]);
            }
            render(k);
        }
    }

    std::unique_ptr<SavedProject> snapshot() const
    {
        auto s = std::make_unique<SavedProject>();
        s->projectName = projectName;
        s->comment = comment;
        s->panelName = panelName;
        s->loops = loops;
        std::copy(cableName, cableName + loops, s->cableNames);
        for (int r = 0; r < kRows; ++r)
            std::copy(counts[r], counts[r] + loops, s->counts[r]);
        return s;
    }

    bool modified() const { return !snapshot()->sameAs(*baseline); }

    // Saves to file number `file` (a new one when it is saved.size()); it is then the open file.
    void saveTo(int file)
    {
        if (file == int(saved.size()))
            saved.push_back(snapshot());
        else
            saved[file] = snapshot();
        currentFile = file;
        baseline = snapshot();
        messages << QStringLiteral("The file has been saved successfully!");
    }

    // The question before New and Open; false when the action stops. newFile: the file a save
    // dialog is answered with.
    bool maybeSave(Answer answer, int newFile)
    {
        if (!modified())
            return true;
        questions << QStringLiteral("Save changes to %1?")
                         .arg(currentFile < 0 ? QStringLiteral("Untitled") : QStringLiteral("project-%1").arg(currentFile + 1));
        if (answer == Answer::Save)
            saveTo(currentFile < 0 ? newFile : currentFile);
        return answer != Answer::Cancel;
    }

    void newProject()
    {
        projectName.clear();
        comment.clear();
        choosePanel(0);
        currentFile = -1;
        baseline = snapshot();
    }

    void open(int file)
    {
        const SavedProject &f = *saved[file];
        const int filePanel = panelIndex(f.panelName);
        // Choosing another panel gives the grid that panel's loops; otherwise it stays.
        const int loopsAfter = filePanel > 0 && filePanel != panel ? panels[filePanel - 1].loopCount : loops;
        if (f.loops > loopsAfter) {
            messages << QStringLiteral("The document is not legal");
            return;
        }
        projectName = f.projectName;
        comment = f.comment;
        forgetResults();
        if (filePanel > 0)
            choosePanel(filePanel);
        const int n = std::min(f.loops, loops);
        for (int i = 0; i < n; ++i)
            if (const int index = cableIndex(f.cableNames[i]))
                chooseCable(i, index);
        for (int r = 0; r < kRows; ++r)
            std::copy(f.counts[r], f.counts[r] + n, counts[r]);
        currentFile = file;
        baseline = snapshot();
        messages << QStringLiteral("The file has been opened!");
    }

    const Catalogue full = fullCatalogue();
    QVector<PanelRecord> panels;
    QVector<CableRecord> cables;

    int panel = 0;  // index in the panel list; 0 is the blank entry
    int loops = 0;
    QString panelName;
    float voltage = 0.0f;
    float maxCurrent = 0.0f;
    int maxDevices[kMaxLoops] = {};
    QString projectName;
    QString comment;
    int cable[kMaxLoops] = {};
    QString cableName[kMaxLoops];
    float cableResistance[kMaxLoops] = {};
    QString counts[kRows][kMaxLoops];
    QString calculationCells[kMaxLoops][5];
    QString summaryCells[kMaxLoops][10];
    QString comments[kMaxLoops];
    // The last calculation: which loops' results stand, what they came from and what they show.
    bool stands[kMaxLoops] = {};
    bool dropped[kMaxLoops] = {};  // a change of its inputs took the loop's result away
    QString fromCable[kMaxLoops];
    int fromCounts[kRows][kMaxLoops] = {};
    bool shown[kMaxLoops] = {};    // not left out
    QStringList reasons[kMaxLoops];  // the comment lines
    QString figures[kMaxLoops][5];
    QString detectors[kMaxLoops], modules[kMaxLoops], sounders[kMaxLoops], others[kMaxLoops];
    QStringList messages;   // what the last step must have shown, in order
    QStringList questions;  // the questions it must have asked
    std::vector<std::unique_ptr<SavedProject>> saved;
    int currentFile = -1;  // the open file, an index in saved
    std::unique_ptr<SavedProject> baseline = snapshot();  // the project as last opened, saved or new
};

QString answerName(Answer answer, bool panelQuestion)
{
    switch (answer) {
    case Answer::Save:
        return panelQuestion ? QStringLiteral("Ok") : QStringLiteral("Save");
    case Answer::Discard:
        return panelQuestion ? QStringLiteral("Ok") : QStringLiteral("Discard");
    case Answer::Cancel:
        break;
    }
    return QStringLiteral("Cancel");
}

QString shownKeys(const QString &keys)
{
    QString shown = keys;
    return shown.replace(QLatin1Char('\b'), QStringLiteral("<BS>"));
}

// The window on the full catalogue, shown, with the model beside it.
class Player {
public:
    Player() : fixture(fullCatalogue()), tabs(fixture.window().findChild<QTabWidget *>()) {}

    // The first tab comes from the seed: a table first shown on another tab is not laid out
    // while its panel changes.
    bool start(int tab) { return showOnTab(fixture.window(), tab); }
    QString tabName(int tab) const { return tabs->tabText(tab); }

    // Runs the step on the window and on the model; returns what was done.
    QString perform(const Step &s);
    // The first way in which the window differs from the model; empty when it does not.
    QString problem();

private:
    QString filePath(int file) const { return files.filePath(QStringLiteral("project-%1.stm").arg(file + 1)); }
    QString chooseCables(const Step &s, int loop);
    // Before New or Open: the answer to "Save changes", and the save dialog's when Save needs one.
    // Returns how the step describes it.
    QString queueAnswers(Answer answer);
    QString typeCount(const Step &s, int row, int loop);
    QString pasteBlock(const Step &s, int row, int loop);

    RecordingSeam seam;  // before the window, which reports through it from its constructor on
    WindowFixture fixture;
    QTemporaryDir files;
    QTabWidget *tabs;
    Model model;
};

QString Player::perform(const Step &s)
{
    MainWindow &w = fixture.window();
    seam.clear();
    model.messages.clear();
    model.questions.clear();
    const int loops = model.loops;
    const int row = s.row % kRows;
    const int loop = loops > 0 ? s.loop % loops : 0;
    const QString cell = QStringLiteral("row %1, loop %2").arg(row).arg(loop + 1);

    switch (s.action) {
    case Action::Panel:
        model.choosePanelInBox(s.choice, s.answer);
        seam.answers << (s.answer == Answer::Cancel ? QMessageBox::Cancel : QMessageBox::Ok);
        w.panelComboBox->setCurrentIndex(s.choice);
        return (s.choice ? QStringLiteral("panel \"%1\"").arg(model.panels[s.choice - 1].name)
                         : QStringLiteral("blank panel entry"))
            + (model.questions.isEmpty() ? QString() : QStringLiteral(", asked, %1").arg(answerName(s.answer, true)));
    case Action::Cable:
        if (loops == 0)
            return QStringLiteral("cable: no loops");
        return chooseCables(s, loop);
    case Action::SetCount:
        if (loops == 0)
            return QStringLiteral("count: no loops");
        model.counts[row][loop] = s.text;
        model.touched(loop);
        if (QLineEdit *edit = w.deviceCountEdits[row][loop])
            edit->setText(s.text);
        return QStringLiteral("count %1 set to \"%2\"").arg(cell, s.text);
    case Action::TypeCount:
        if (loops == 0)
            return QStringLiteral("typing: no loops");
        return typeCount(s, row, loop);
    case Action::Paste:
        if (loops == 0)
            return QStringLiteral("paste: no loops");
        return pasteBlock(s, row, loop);
    case Action::Tab:
        tabs->setCurrentIndex(s.choice);
        return QStringLiteral("tab \"%1\"").arg(tabName(s.choice));
    case Action::Calculate:
        model.calculate();
        w.calculateButton->click();
        return QStringLiteral("Calculate");
    case Action::Save:
    case Action::SaveAs: {
        const bool asking = s.action == Action::SaveAs || model.currentFile < 0;
        const int file = asking ? int(model.saved.size()) : model.currentFile;
        model.projectName = QStringLiteral("Project %1").arg(file + 1);
        model.comment = QStringLiteral("saved as\n%1").arg(file + 1);
        w.projectNameEdit->setText(model.projectName);
        w.commentEdit->setPlainText(model.comment);
        model.saveTo(file);
        if (asking)
            seam.fileAnswers << filePath(file);
        if (s.action == Action::SaveAs)
            w.SaveProjectAs();
        else
            w.SaveProject();
        return QStringLiteral("%1 project-%2.stm").arg(s.action == Action::SaveAs ? "Save As" : "Save").arg(file + 1);
    }
    case Action::New: {
        const QString asked = queueAnswers(s.answer);
        if (model.maybeSave(s.answer, int(model.saved.size())))
            model.newProject();
        w.NewProject();
        return QStringLiteral("New") + asked;
    }
    case Action::Open: {
        const QString asked = queueAnswers(s.answer);
        if (!model.maybeSave(s.answer, int(model.saved.size()))) {
            w.OpenProject();
            return QStringLiteral("Open") + asked;
        }
        // With nothing saved yet, the dialog is cancelled.
        if (model.saved.empty()) {
            w.OpenProject();
            return QStringLiteral("Open%1, cancelled").arg(asked);
        }
        const int file = s.choice % int(model.saved.size());
        model.open(file);
        seam.fileAnswers << filePath(file);
        w.OpenProject();
        return QStringLiteral("Open%1 project-%2.stm").arg(asked).arg(file + 1);
    }
    case Action::Idle: {
        // Spare count fields are made while the window waits.
        const int spares = w.spareCountFields();
        QTest::qWait(s.choice);
        return QStringLiteral("idle %1 ms, spare count fields %2 -> %3").arg(s.choice).arg(spares).arg(w.spareCountFields());
    }
    }
    return QString();
}

QString Player::queueAnswers(Answer answer)
{
    if (!model.modified())
        return QString();
    seam.answers << (answer == Answer::Save ? QMessageBox::Save
                     : answer == Answer::Discard ? QMessageBox::Discard : QMessageBox::Cancel);
    if (answer == Answer::Save && model.currentFile < 0)
        seam.fileAnswers << filePath(int(model.saved.size()));
    return QStringLiteral(", asked, %1").arg(answerName(answer, false));
}

QString Player::chooseCables(const Step &s, int loop)
{
    QList<int> chosen;
    for (int i = 0; i < model.loops; ++i)
        if (s.target != CableTarget::AnyLoop && model.cable[i] == 0
            && (chosen.isEmpty() || s.target == CableTarget::AllWithout))
            chosen << i;
    if (s.target == CableTarget::AnyLoop || chosen.isEmpty())
        chosen = {loop};
    QStringList loops;
    for (int i : chosen) {
        model.chooseCable(i, s.choice);
        if (QComboBox *box = fixture.window().cableComboBoxes[i])
            box->setCurrentIndex(s.choice);
        loops << QString::number(i + 1);
    }
    return QStringLiteral("loop %1: %2").arg(loops.join(QLatin1Char(',')),
        s.choice ? QStringLiteral("cable \"%1\"").arg(model.cables[s.choice - 1].name) : QStringLiteral("blank cable entry"));
}

QString Player::typeCount(const Step &s, int row, int loop)
{
    MainWindow &w = fixture.window();
    const QString before = model.counts[row][loop];
    // Key by key: a count that differs for a moment ("0", "2", "0") already takes the loop's result.
    for (int keys = 0; keys <= s.text.size(); ++keys) {
        model.counts[row][loop] = Model::typed(before, s.replace, s.text.left(keys));
        model.touched(loop);
    }
    const QString done = QStringLiteral("count row %1, loop %2: %3 \"%4\", giving \"%5\"")
                             .arg(row)
                             .arg(loop + 1)
                             .arg(s.replace ? QStringLiteral("select all, erase, type") : QStringLiteral("type at the end"),
                                  shownKeys(s.text), model.counts[row][loop]);
    QLineEdit *edit = w.deviceCountEdits[row][loop];
    if (!edit)
        return done;
    // As a user does: the cell scrolled into sight, then the field focused.
    w.deviceTable->scrollTo(w.deviceTable->model()->index(row, loop + 2));
    edit->setFocus();
    if (s.replace) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
        QTest::keyClick(edit, Qt::Key_End);
    }
    for (const QChar key : s.text) {
        if (key == QLatin1Char('\b'))
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClick(edit, key.toLatin1());
    }
    return done;
}

QString Player::pasteBlock(const Step &s, int row, int loop)
{
    MainWindow &w = fixture.window();
    // Ctrl+Z only after a paste that changed a count: otherwise it would undo an earlier step.
    const bool undo = model.paste(row, loop, s.block, s.undo) && s.undo;
    QString shown = s.text;
    shown.replace(QLatin1Char('\t'), QStringLiteral("<TAB>")).replace(QLatin1Char('\r'), QStringLiteral("<CR>"))
        .replace(QLatin1Char('\n'), QStringLiteral("<LF>"));
    const QString done = QStringLiteral("paste \"%1\" at row %2, loop %3%4")
                             .arg(shown)
                             .arg(row)
                             .arg(loop + 1)
                             .arg(undo ? QStringLiteral(", then Ctrl+Z") : QString());
    QLineEdit *edit = w.deviceCountEdits[row][loop];
    if (!edit)
        return done;
    QApplication::clipboard()->setText(s.text);
    w.deviceTable->scrollTo(w.deviceTable->model()->index(row, loop + 2));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    if (undo)
        QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    return done;
}

QString Player::problem()
{
    const MainWindow &w = fixture.window();
    const int loops = model.loops;
    if (seam.texts() != model.messages)
        return QStringLiteral("messages [%1] instead of [%2]").arg(seam.texts().join(" | "), model.messages.join(" | "));
    QStringList asked;
    for (const RecordingSeam::Question &q : seam.questions)
        asked << q.text;
    if (asked != model.questions)
        return QStringLiteral("questions [%1] instead of [%2]").arg(asked.join(" | "), model.questions.join(" | "));
    if (w.isProjectModified() != model.modified())
        return QStringLiteral("project %1 modified").arg(model.modified() ? "not" : "");
    if (w.currentFilePath() != (model.currentFile < 0 ? QString() : filePath(model.currentFile)))
        return QStringLiteral("open file \"%1\" instead of project-%2.stm").arg(w.currentFilePath()).arg(model.currentFile + 1);
    if (w.panelComboBox->currentIndex() != model.panel || loopState.loopCount != loops)
        return QStringLiteral("panel entry %1 with %2 loops instead of %3 with %4")
            .arg(w.panelComboBox->currentIndex())
            .arg(loopState.loopCount)
            .arg(model.panel)
            .arg(loops);
    if (loopState.selectedPanelName != model.panelName)
        return QStringLiteral("selected panel \"%1\" instead of \"%2\"").arg(loopState.selectedPanelName, model.panelName);
    if (w.projectNameEdit->text() != model.projectName || w.commentEdit->toPlainText() != model.comment)
        return QStringLiteral("project name and comment \"%1\", \"%2\" instead of \"%3\", \"%4\"")
            .arg(w.projectNameEdit->text(), w.commentEdit->toPlainText(), model.projectName, model.comment);

    if (w.deviceTable->rowCount() != kRows || w.deviceTable->columnCount() != loops + 2)
        return QStringLiteral("count table of %1 x %2 cells").arg(w.deviceTable->rowCount()).arg(w.deviceTable->columnCount());
    for (int i = 0; i < loops; ++i) {
        const QTableWidgetItem *header = w.deviceTable->horizontalHeaderItem(i + 2);
        if (!header || header->text() != QStringLiteral("Loop%1").arg(i + 1))
            return QStringLiteral("count table header of loop %1").arg(i + 1);
    }
    const QString grid = countGridProblem(w, kRows, loops, [this](int r, int i) { return model.counts[r][i]; });
    if (!grid.isEmpty())
        return grid;

    if (w.cableTable->rowCount() != loops)
        return QStringLiteral("%1 cable rows").arg(w.cableTable->rowCount());
    for (int i = 0; i < kMaxLoops; ++i) {
        const QComboBox *box = w.cableComboBoxes[i];
        if ((box != nullptr) != (i < loops))
            return QStringLiteral("cable box of loop %1 %2").arg(i + 1).arg(box ? "beyond the loops" : "missing");
        if (box && (w.cableTable->cellWidget(i, 1) != box || box->currentIndex() != model.cable[i]))
            return QStringLiteral("cable box of loop %1 shows entry %2 instead of %3, or is not in its cell")
                .arg(i + 1)
                .arg(box->currentIndex())
                .arg(model.cable[i]);
        if (loopState.loopCableNames[i] != model.cableName[i])
            return QStringLiteral("cable of loop %1 \"%2\" instead of \"%3\"")
                .arg(i + 1)
                .arg(loopState.loopCableNames[i], model.cableName[i]);
    }

    if (w.calculationTable->rowCount() != loops || w.summaryTable->rowCount() != loops)
        return QStringLiteral("result tables of %1 and %2 rows").arg(w.calculationTable->rowCount()).arg(w.summaryTable->rowCount());
    for (int k = 0; k < loops; ++k) {
        for (int c = 0; c < 5; ++c)
            if (cellText(w.calculationTable, k, c) != model.calculationCells[k][c])
                return QStringLiteral("\"Calculation\" cell (%1, %2) shows \"%3\" instead of \"%4\"")
                    .arg(k)
                    .arg(c)
                    .arg(cellText(w.calculationTable, k, c), model.calculationCells[k][c]);
        for (int c = 0; c < 10; ++c)
            if (cellText(w.summaryTable, k, c) != model.summaryCells[k][c])
                return QStringLiteral("\"Loop Summary\" cell (%1, %2) shows \"%3\" instead of \"%4\"")
                    .arg(k)
                    .arg(c)
                    .arg(cellText(w.summaryTable, k, c), model.summaryCells[k][c]);
    }
    for (int i = 0; i < kMaxLoops; ++i)
        if (w.commentLabels[i]->text() != model.comments[i])
            return QStringLiteral("comment of loop %1 \"%2\" instead of \"%3\"")
                .arg(i + 1)
                .arg(w.commentLabels[i]->text(), model.comments[i]);
    return QString();
}

struct Outcome {
    bool failed = false;
    int stepsRun = 0;  // the failing step is the last of them
    QString problem;
    QStringList done;  // what each step did
};

// firstTab: the tab the window is shown on before the steps.
Outcome play(int firstTab, const QVector<Step> &steps)
{
    static const bool trace = environmentNumber("QUILLON_RANDOM_TRACE", 0) != 0;
    Outcome out;
    Player player;
    out.done << QStringLiteral("window shown on tab \"%1\"").arg(player.tabName(firstTab));
    if (!player.start(firstTab)) {
        out.failed = true;
        out.problem = QStringLiteral("the window did not become active");
        return out;
    }
    out.problem = player.problem();
    for (const Step &step : steps) {
        if (!out.problem.isEmpty())
            break;
        out.done << player.perform(step);
        ++out.stepsRun;
        if (trace)
            qInfo("%d. %s", out.stepsRun, qPrintable(out.done.last()));
        out.problem = player.problem();
    }
    out.failed = !out.problem.isEmpty();
    return out;
}

// Leaves out runs of steps, longest first, as long as what remains still fails; each shorter
// failure is cut after its failing step.
QVector<Step> shorten(int firstTab, QVector<Step> failing)
{
    int replays = 0;
    for (int chunk = failing.size() / 2; chunk >= 1; chunk /= 2) {
        for (int start = 0; start < failing.size() && replays < kMaxReplays;) {
            QVector<Step> candidate = failing;
            candidate.remove(start, std::min(chunk, candidate.size() - start));
            ++replays;
            const Outcome outcome = candidate.isEmpty() ? Outcome() : play(firstTab, candidate);
            if (outcome.failed)
                failing = candidate.mid(0, outcome.stepsRun);
            else
                start += chunk;
        }
    }
    return failing;
}

// The first line is how the window was shown, before step 1.
QString numbered(const QStringList &done)
{
    QString list;
    for (int n = 0; n < done.size(); ++n)
        list += QStringLiteral("  %1. %2\n").arg(n).arg(done[n]);
    return list;
}

}  // namespace

class RandomUseTest : public QObject {
    Q_OBJECT

private slots:
    void randomUse_data();
    void randomUse();
};

void RandomUseTest::randomUse_data()
{
    QTest::addColumn<uint>("seed");
    QTest::addColumn<int>("steps");
    // A few hundred steps in the ordinary run; the sanitizer run asks for more.
    const uint first = environmentNumber("QUILLON_RANDOM_SEED", 2100);
    const int sequences = std::max(1, int(environmentNumber("QUILLON_RANDOM_SEQUENCES", 3)));
    const int steps = int(environmentNumber("QUILLON_RANDOM_STEPS", 100));
    for (int k = 0; k < sequences; ++k)
        QTest::addRow("seed %u", first + uint(k)) << first + uint(k) << steps;
}

void RandomUseTest::randomUse()
{
    QFETCH(uint, seed);
    QFETCH(int, steps);
    const int firstTab = int(seed % 3);
    const QVector<Step> sequence = makeSequence(seed, steps);
    const Outcome outcome = play(firstTab, sequence);
    if (!outcome.failed)
        return;

    QString report = QStringLiteral("seed %1, step %2: %3\nreplay with QUILLON_RANDOM_SEED=%1 "
                                    "QUILLON_RANDOM_SEQUENCES=1 QUILLON_RANDOM_STEPS=%2\n")
                         .arg(seed)
                         .arg(outcome.stepsRun)
                         .arg(outcome.problem);
    const QVector<Step> prefix = sequence.mid(0, outcome.stepsRun);
    const Outcome again = prefix.isEmpty() ? outcome : play(firstTab, prefix);
    if (!again.failed) {
        report += QStringLiteral("played again, the steps passed: the failure depends on timing\n") + numbered(outcome.done);
    } else {
        Outcome shortest = play(firstTab, shorten(firstTab, prefix));
        if (!shortest.failed)
            shortest = again;
        report += QStringLiteral("shortest failing sequence found, %1 of %2 steps, failing with: %3\n")
                      .arg(shortest.stepsRun)
                      .arg(outcome.stepsRun)
                      .arg(shortest.problem)
                  + numbered(shortest.done);
    }
    QFAIL(qPrintable(report));
}

QTEST_MAIN(RandomUseTest)
#include "test_random_use.moc"
