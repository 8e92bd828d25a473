#include "scenarioscript.h"

#include <QRegularExpression>

namespace {

// The rest of `line` after `count` blank-separated words, exactly as written.
QString restAfterWords(const QString &line, int count)
{
    int pos = 0;
    for (int word = 0; word < count; ++word) {
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        while (pos < line.size() && !line[pos].isSpace())
            ++pos;
    }
    if (pos < line.size())
        ++pos; // the single blank that separates the last word from TEXT
    return line.mid(pos);
}

bool parseSeed(const QString &word, int *seed)
{
    bool ok = false;
    *seed = word.toInt(&ok);
    return ok && *seed >= 0;
}

bool parseSeconds(const QString &word, double *seconds)
{
    bool ok = false;
    *seconds = word.toDouble(&ok);
    return ok && *seconds >= 0;
}

} // namespace

ScenarioScript ScenarioScript::parse(const QString &text)
{
    ScenarioScript script;
    const QStringList lines = text.split('\n');
    for (int index = 0; index < lines.size(); ++index) {
        QString line = lines[index];
        if (line.endsWith('\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QString body = line.mid(line.indexOf(trimmed.at(0)));
        const QStringList words = trimmed.split(QRegularExpression("\\s+"));
        const QString verb = words.first();
        const int arguments = words.size() - 1;

        ScenarioStep step;
        step.line = index + 1;
        step.source = trimmed;
        step.seconds = kDefaultWaitSeconds;
        auto fail = [&](const QString &why) {
            script.error = QString("line %1: %2: %3").arg(step.line).arg(why, trimmed);
            script.steps.clear();
            return script;
        };

        if (verb == "wait-state") {
            bool ok = false;
            step.kind = ScenarioStep::WaitState;
            if (arguments < 1 || arguments > 2)
                return fail("wait-state takes a state and an optional time");
            step.number = words[1].toInt(&ok);
            if (!ok)
                return fail("not a state number");
            if (arguments == 2 && !parseSeconds(words[2], &step.seconds))
                return fail("not a time in seconds");
        } else if (verb == "click") {
            step.kind = ScenarioStep::Click;
            if (arguments != 1)
                return fail("click takes one object name");
            step.object = words[1];
        } else if (verb == "click-text") {
            step.kind = ScenarioStep::ClickText;
            step.text = restAfterWords(body, 1);
            if (step.text.isEmpty())
                return fail("click-text needs a text");
        } else if (verb == "expect-text" || verb == "wait-text") {
            step.kind = verb == "expect-text" ? ScenarioStep::ExpectText : ScenarioStep::WaitText;
            if (arguments < 1)
                return fail(verb + " needs an object name");
            step.object = words[1];
            step.text = restAfterWords(body, 2);
        } else if (verb == "sleep") {
            step.kind = ScenarioStep::Sleep;
            if (arguments != 1 || !parseSeconds(words[1], &step.seconds))
                return fail("sleep takes a time in seconds");
        } else if (verb == "screenshot") {
            step.kind = ScenarioStep::Screenshot;
            step.text = restAfterWords(body, 1);
            if (step.text.isEmpty())
                return fail("screenshot needs a file name");
        } else if (verb == "power-cut" && arguments == 1) {
            // power-cut SEED: the disk keeps of what was not synced what SEED chooses.
            step.kind = ScenarioStep::PowerCut;
            if (!parseSeed(words[1], &step.seed))
                return fail("power-cut takes nothing or a seed");
        } else if (verb == "power-button" || verb == "power-cut" || verb == "usb-remove") {
            if (arguments != 0)
                return fail(verb + " takes no arguments");
            step.kind = verb == "power-button" ? ScenarioStep::PowerButton
                    : verb == "power-cut"      ? ScenarioStep::PowerCut
                                               : ScenarioStep::UsbRemove;
        } else if (verb == "usb-insert") {
            // usb-insert [update] [no-mount]: a stick with an update package; one whose file
            // system the board cannot mount.
            step.kind = ScenarioStep::UsbInsert;
            const QStringList options = words.mid(1);
            step.update = options.contains("update");
            step.mounts = !options.contains("no-mount");
            if (options.size() != int(step.update) + int(!step.mounts))
                return fail("usb-insert takes \"update\" and \"no-mount\" or nothing");
        } else if (verb == "stick-file") {
            // stick-file PATH TEXT: a plain file on the stick holding TEXT, "\n" a line break.
            step.kind = ScenarioStep::StickFile;
            if (arguments < 1)
                return fail("stick-file needs a path on the stick");
            step.object = words[1];
            step.text = restAfterWords(body, 2).replace("\\n", "\n");
        } else if (verb == "stick-link") {
            // stick-link PATH TARGET: a symbolic link on the stick to an instrument path.
            step.kind = ScenarioStep::StickLink;
            if (arguments != 2)
                return fail("stick-link takes a path on the stick and a target");
            step.object = words[1];
            step.text = words[2];
        } else if (verb == "wait-file") {
            // wait-file PATH TEXT: until the instrument file holds TEXT (settings, logs).
            step.kind = ScenarioStep::WaitFile;
            if (arguments < 2)
                return fail("wait-file needs an instrument path and a text");
            step.object = words[1];
            step.text = restAfterWords(body, 2);
        } else if (verb == "wait-no-file") {
            // wait-no-file PATH: until the instrument file is gone (cleaned up, removed).
            step.kind = ScenarioStep::WaitNoFile;
            if (arguments != 1)
                return fail("wait-no-file takes one instrument path");
            step.object = words[1];
        } else if (verb == "expect-shown" || verb == "expect-hidden") {
            // expect-shown OBJ: visible and enabled now, as a usable button is.
            step.kind = verb == "expect-shown" ? ScenarioStep::ExpectShown
                                               : ScenarioStep::ExpectHidden;
            if (arguments != 1)
                return fail(verb + " takes one object name");
            step.object = words[1];
        } else if (verb == "wait-shown") {
            step.kind = ScenarioStep::WaitShown;
            if (arguments < 1 || arguments > 2)
                return fail("wait-shown takes an object name and an optional time");
            step.object = words[1];
            if (arguments == 2 && !parseSeconds(words[2], &step.seconds))
                return fail("not a time in seconds");
        } else if (verb == "wait-reading") {
            // wait-reading LABEL TEXT: until a model's panel reading LABEL (blanks written as
            // '_') shows TEXT: "wait-reading LED_colour red", "wait-reading line_1 (set 0)".
            step.kind = ScenarioStep::WaitReading;
            if (arguments < 2)
                return fail("wait-reading needs a reading label and a text");
            step.object = words[1];
            step.object.replace('_', ' ');
            step.text = restAfterWords(body, 2);
        } else if (verb == "measure") {
            // measure PATH: appends the process's resident memory and open descriptors.
            step.kind = ScenarioStep::Measure;
            if (arguments != 1)
                return fail("measure takes one instrument path");
            step.object = words[1];
        } else if (verb == "mark") {
            // mark TEXT: notes in the program's log and on standard output that the steps
            // before it held, e.g. that the operator was told a save was done.
            step.kind = ScenarioStep::Mark;
            step.text = restAfterWords(body, 1);
            if (step.text.isEmpty())
                return fail("mark needs a text");
        } else if (verb == "power-cut-in") {
            // power-cut-in S: the power goes S seconds later, whatever the program is doing
            // then, in any thread; the steps after it play on until then.
            step.kind = ScenarioStep::PowerCutIn;
            if (arguments < 1 || arguments > 2 || !parseSeconds(words[1], &step.seconds)
                || (arguments == 2 && !parseSeed(words[2], &step.seed)))
                return fail("power-cut-in takes a time in seconds and an optional seed");
        } else if (verb == "wait-control" || verb == "wait-poweroff") {
            // wait-control [S]: until the screen offers something to press (no dead end).
            // wait-poweroff [S]: until the board powers itself off; failing when it does not.
            step.kind = verb == "wait-control" ? ScenarioStep::WaitControl
                                               : ScenarioStep::WaitPowerOff;
            if (arguments > 1 || (arguments == 1 && !parseSeconds(words[1], &step.seconds)))
                return fail(verb + " takes an optional time in seconds");
        } else if (verb == "fault") {
            if (arguments < 1)
                return fail("fault needs a name or \"clear\"");
            if (words[1] == "clear" && arguments == 1) {
                step.kind = ScenarioStep::FaultClear;
            } else {
                step.kind = ScenarioStep::Fault;
                step.text = words[1];
                step.args = words.mid(2);
            }
        } else {
            return fail("unknown step");
        }
        script.steps.append(step);
    }
    return script;
}
