#include "ResumingXmlReader.h"

#include "XmlSupport.h"

#include <QRegularExpression>

#include <algorithm>

namespace moratutor::books {

namespace {

bool IsXmlCharacter(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\t' || u == u'\n' || u == u'\r' || (u >= 0x20 && u < 0xFFFE);
}

// Text that was not read because of damage in it, made readable: a '&' that begins no
// known reference stands for itself, characters XML cannot carry are left out.
QString RepairText(QStringView text) {
    static const QRegularExpression reference(QStringLiteral(R"(^&(#[0-9]{1,7}|#x[0-9A-Fa-f]{1,6}|[A-Za-z][A-Za-z0-9]{1,31});)"));
    QString repaired;
    repaired.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&') {
            const QRegularExpressionMatch match = reference.match(text.mid(i, 42).toString());
            const QStringView name = match.hasMatch() ? match.capturedView(1) : QStringView();
            const bool known = !name.isEmpty() && (name.startsWith(u'#') || !HtmlEntityText(name).isEmpty() ||
                                                   IsOneOf(name, {u"amp", u"lt", u"gt", u"quot", u"apos"}));
            repaired += known ? QStringView(u"&") : QStringView(u"&amp;");
        } else if (c == u'>') {
            repaired += u"&gt;";
        } else if (c.isSurrogate() && c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            repaired += c;
            repaired += text[++i];
        } else if (IsXmlCharacter(c) && !c.isSurrogate()) {
            repaired += c;
        }
    }
    return repaired;
}

// The name of the end tag at the position, empty when there is none there.
QStringView EndTagName(const QString& text, qsizetype at) {
    if (!QStringView(text).mid(at).startsWith(u"</")) return {};
    qsizetype end = at + 2;
    while (end < text.size() && !text[end].isSpace() && text[end] != u'>' && text[end] != u'<') ++end;
    return QStringView(text).mid(at + 2, end - at - 2);
}

}  // namespace

ResumingXmlReader::ResumingXmlReader(const QString& xml, int maxResumptions)
    : original_(DeclareHtmlEntities(xml)), resumptionsLeft_(maxResumptions) {
    reader_.addData(original_);
    LimitEntityExpansion(reader_);
}

QXmlStreamReader::TokenType ResumingXmlReader::Next() {
    if (pendingEnds_ > 0) {
        --pendingEnds_;
        open_.pop_back();
        return QXmlStreamReader::EndElement;
    }
    return Read();
}

QXmlStreamReader::TokenType ResumingXmlReader::Read() {
    while (true) {
        const QXmlStreamReader::TokenType token = reader_.readNext();
        if (token == QXmlStreamReader::Invalid) {
            // Damage after the root element has closed costs no text.
            if (rootClosed_) return token;
            damaged_ = true;
            if (open_.empty() || !Resume()) return token;
            if (pendingEnds_ > 0) return Next();
            continue;
        }
        if (hiddenStarts_ > 0) {
            if (token == QXmlStreamReader::StartElement) --hiddenStarts_;
            lastGood_ = reader_.characterOffset();
            continue;
        }
        lastGood_ = reader_.characterOffset();
        if (token == QXmlStreamReader::StartElement) {
            open_.push_back({reader_.qualifiedName().toString(), reader_.namespaceDeclarations()});
        } else if (token == QXmlStreamReader::EndElement && !open_.empty()) {
            open_.pop_back();
            rootClosed_ = open_.empty();
        }
        return token;
    }
}

qsizetype ResumingXmlReader::OriginalPosition(qint64 offset) const {
    if (offset < headLength_) return runStart_;
    return std::min(original_.size(), base_ + static_cast<qsizetype>(offset - headLength_));
}

bool ResumingXmlReader::Resume() {
    if (resumptionsLeft_ <= 0) return false;
    --resumptionsLeft_;
    qsizetype from = OriginalPosition(lastGood_);
    // The reader may have taken the '<' of the next tag before giving the text: the tag
    // is read again.
    if (from > 0 && original_.lastIndexOf(u'<', from - 1) > original_.lastIndexOf(u'>', from - 1))
        from = original_.lastIndexOf(u'<', from - 1);
    // Met the same damage again: what it is in is left out, up to the next tag.
    if (from <= lastResume_) from = original_.indexOf(u'<', std::max(OriginalPosition(reader_.characterOffset()), lastResume_ + 1));
    if (from < 0 || from >= original_.size()) return false;
    qsizetype runEnd = original_.indexOf(u'<', from);
    if (runEnd < 0) runEnd = original_.size();
    Restart(from, runEnd);
    return true;
}

void ResumingXmlReader::Restart(qsizetype runStart, qsizetype runEnd) {
    qsizetype rest = runEnd;
    int keep = static_cast<int>(open_.size());
    const QStringView endTag = EndTagName(original_, runEnd);
    if (!endTag.isEmpty()) {
        int match = keep - 1;
        while (match >= 0 && open_[static_cast<std::size_t>(match)].QualifiedName != endTag) --match;
        if (match < 0) {
            // Closes nothing that is open: left out.
            const qsizetype close = original_.indexOf(u'>', runEnd);
            rest = close < 0 ? original_.size() : close + 1;
        } else {
            keep = match + 1;  // the elements inside it end here
        }
    }
    pendingEnds_ = static_cast<int>(open_.size()) - keep;

    QString head = QStringLiteral("<!DOCTYPE resumed [") + HtmlEntityDeclarations() + QStringLiteral("]>");
    for (int i = 0; i < keep; ++i) {
        const Open& element = open_[static_cast<std::size_t>(i)];
        head += u'<' + element.QualifiedName;
        for (const QXmlStreamNamespaceDeclaration& ns : element.Namespaces) {
            head += ns.prefix().isEmpty() ? QStringLiteral(" xmlns") : QStringLiteral(" xmlns:") + ns.prefix().toString();
            head += QStringLiteral("=\"") + ns.namespaceUri().toString().toHtmlEscaped() + u'"';
        }
        head += u'>';
    }
    head += RepairText(QStringView(original_).mid(runStart, runEnd - runStart));

    reader_.clear();
    headLength_ = head.size();
    head += QStringView(original_).mid(rest);
    reader_.addData(head);
    LimitEntityExpansion(reader_);
    base_ = rest;
    runStart_ = runStart;
    hiddenStarts_ = keep;
    lastGood_ = 0;
    lastResume_ = runStart;
}

}  // namespace moratutor::books
