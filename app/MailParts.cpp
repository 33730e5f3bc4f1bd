#include "MailParts.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>

#include <ctime>

#include "Compose.h"
#include "Messages.h"
#include "Texts.h"
#include "Names.h"

namespace calverdon::gui {
namespace {

namespace fs = std::filesystem;

QString FromPath(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

// How long a composer may take to say whether it could open a window. One
// that is still running by then stays in the foreground with its window
// open, which counts as started.
constexpr int kStartMilliseconds = 5000;
constexpr int kAnswerMilliseconds = 15000;

bool RunComposer(const QStringList& composer, const QStringList& arguments) {
    if (composer.isEmpty()) return false;
    // Owned by the application, so that a composer that keeps running is
    // not ended with this call; it goes once it has finished.
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->start(composer.first(), composer.mid(1) + arguments);
    if (!process->waitForStarted(kStartMilliseconds)) {
        process->deleteLater();
        return false;
    }
    if (!process->waitForFinished(kAnswerMilliseconds)) return process->state() != QProcess::NotRunning;
    return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
}

// "a.eml", "a.eml, b.eml und c.eml", the first few and how many more.
QString Names(const std::vector<fs::path>& targets) {
    constexpr std::size_t kShown = 5;
    QStringList names;
    for (std::size_t i = 0; i < targets.size() && i < kShown; ++i) names << FromPath(targets[i].filename());
    QString text = names.join(QStringLiteral("\n"));
    if (targets.size() > kShown) text += texts::Q(texts::kMailMore).arg(targets.size() - kShown);
    return text;
}

// The mails as .eml files beside the parts; told in a message either way.
void WriteEmlFiles(const fs::path& source, const mail::MailChain& chain, UserMessages& messages) {
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t number = 1; number <= chain.parts.size(); ++number) numbers.push_back(number);
    const mail::MailScratch scratch;
    if (scratch.Path().empty()) {
        messages.Show(texts::kScratchFailed, calverdon::texts::ErrorCaption(scratch.Error()), MessageKind::Error);
        return;
    }
    std::vector<fs::path> mails;
    std::string problem = mail::BuildMails(chain, numbers, {}, std::time(nullptr), 0, scratch.Path(), mails);
    std::vector<fs::path> targets;
    const fs::path folder = chain.parts.front().parent_path();
    for (const fs::path& part : chain.parts) targets.push_back(mail::EmlPathFor(folder, part));
    if (problem.empty() &&
        mail::PublishMails(mails, targets, {source}, {messages, nullptr}, {}, problem) != ConversionResult::Succeeded) {
        // A refusal or a file in the way has been told already.
        if (problem.empty()) return;
    }
    if (!problem.empty()) {
        messages.Show(problem, texts::kMailCaption, MessageKind::Error);
        return;
    }
    const QString text = texts::Q(texts::kMailWritten).arg(FromPath(folder), Names(targets));
    messages.Show(text.toStdString(), texts::kMailCaption, MessageKind::Information);
}

}  // namespace

void OfferPartsByMail(const fs::path& source, const fs::path& firstPart, const QStringList& composer,
                      UserMessages& messages) {
    mail::MailChain chain;
    chain.sourceName = source.filename().string();
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) chain.sourceSize = static_cast<std::uint64_t>(st.st_size);
    for (std::uint32_t number = 1;; ++number) {
        const fs::path part = PartPath(firstPart, number);
        struct stat partStatus {};
        if (::lstat(part.c_str(), &partStatus) != 0) break;
        chain.parts.push_back(part);
    }
    const std::string fingerprint = mail::PartsFingerprint(chain.parts);
    if (chain.parts.empty() || fingerprint.empty()) {
        messages.Show("lassen sich nicht mehr lesen.", "Die Teile", MessageKind::Error);
        return;
    }
    chain.id = mail::NewChainId(fingerprint);
    const mail::Envelope noEnvelope;
    for (std::uint32_t number = 1; number <= chain.parts.size(); ++number) {
        const QStringList arguments = {
            QStringLiteral("--utf8"),
            QStringLiteral("--subject"),
            QString::fromStdString(mail::SubjectFor(chain, number, noEnvelope)),
            QStringLiteral("--body"),
            QString::fromStdString(mail::BodyFor(chain, number)),
            QStringLiteral("--attach"),
            FromPath(fs::absolute(chain.parts[number - 1])),
        };
        // The parts whose composer opened stay with the composer; all of
        // them are written as files when one does not, so that the user has
        // the whole chain in one place.
        if (!RunComposer(composer, arguments)) {
            WriteEmlFiles(source, chain, messages);
            return;
        }
    }
}

}  // namespace calverdon::gui
