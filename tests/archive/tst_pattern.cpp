// Entry-name patterns: one table of pattern, name and outcome, checked against the matcher and,
// where the system has one, against the C library's fnmatch with the same rules.

#include "archive/Pattern.h"

#include <QTest>

#if defined(Q_OS_LINUX)
#include <clocale>
#include <fnmatch.h>
#include <locale.h>
#endif

class TestPattern : public QObject {
    Q_OBJECT

private slots:
    void matches_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("foldCase");
        QTest::addColumn<bool>("matches");
        const auto row = [](const char* what, const QByteArray& pattern, const QByteArray& name,
                            bool matches, bool foldCase = false) {
            QTest::newRow(what) << pattern << name << foldCase << matches;
        };
        row("a plain name is itself", "A.TXT", "A.TXT", true);
        row("a plain name is the whole name", "A.TXT", "A.TXT2", false);
        row("* matches any run", "*.TXT", "README.TXT", true);
        row("* matches nothing at all", "A*", "A", true);
        row("* needs the rest to follow", "*.TXT", "README.TX", false);
        row("* matches / and a leading full stop", "*", "./a/.b", true);
        row("two stars go back to the later one", "*A*B", "xAyAzB", true);
        row("two stars, no match", "*A*B", "xAyAz", false);
        row("? is one byte", "A?C", "ABC", true);
        row("? is exactly one byte", "A?C", "AC", false);
        row("? is one byte of a UTF-8 pair", "caf?", "caf\xc3\xa9", false);
        row("?? is the UTF-8 pair", "caf??", "caf\xc3\xa9", true);
        row("a set", "[abc]X", "bX", true);
        row("not in the set", "[abc]X", "dX", false);
        row("a range", "FILE[0-9]", "FILE7", true);
        row("outside the range", "FILE[0-9]", "FILEA", false);
        row("a negated set with !", "[!0-9]*", "A1", true);
        row("a negated set with ^", "[^0-9]*", "1A", false);
        row("] first is itself", "[]a]", "]", true);
        row("] first in a negated set", "[!]]", "]", false);
        row("- last is itself", "[a-]", "-", true);
        row("a backslash in a set", "[\\]]", "]", true);
        row("a byte range past ASCII", "[\x80-\xff]", "\xe9", true);
        row("a reversed range holds nothing", "[z-a]", "m", false);
        row("an unclosed [ is itself", "[ab", "[ab", true);
        row("a backslash makes * literal", "A\\*", "A*", true);
        row("an escaped * is not a wildcard", "A\\*", "AB", false);
        row("an escaped letter is itself", "\\A", "A", true);
        row("a trailing backslash matches nothing", "A\\", "A\\", false);
        row("case counts", "*.txt", "A.TXT", false);
        row("folded case", "*.txt", "A.TXT", true, true);
        row("folded case in a set", "[A-C].TXT", "b.txt", true, true);
        row("folding leaves other bytes (× is not ÷ in upper case)", "\xd7", "\xf7", false, true);
        row("[:alpha:] is a letter", "[[:alpha:]]*", "Hello", true);
        row("[:alpha:] is no digit", "[[:alpha:]]*", "1st", false);
        row("[:digit:]", "FILE[[:digit:]]", "FILE7", true);
        row("[:punct:] holds the underscore", "[[:punct:]]", "_", true);
        row("[:cntrl:] holds DEL", "[[:cntrl:]]", "\x7f", true);
        row("no class holds a byte past ASCII", "[[:alpha:][:punct:][:graph:]]", "\xe9", false);
        row("two classes in one set", "[[:digit:][:upper:]]", "Q", true);
        row("a negated class", "[![:digit:]]", "5", false);
        row("a class as a range's end is no class", "[a-[:digit:]]", "b", false);
        row("an unknown class matches nothing", "[[:foo:]]", "f", false);
        row("an unknown class, negated, matches nothing", "[![:foo:]]", "f", false);
        row("a name in capitals is bytes of the set", "[[:Alpha:]]", "A]", true);
        row("an unclosed set after a class: [ is itself", "[[:alpha:]", "[a", true);
        row("folded case leaves classes: upper stays upper", "[[:upper:]]", "A", true, true);
        row("folded case leaves classes: lower is not upper", "[[:upper:]]", "a", false, true);
        row("the empty pattern", "", "", true);
        row("* against the empty name", "*", "", true);
    }
    void matches() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, name);
        QFETCH(bool, foldCase);
        QFETCH(bool, matches);
        QCOMPARE(archive::MatchesPattern(pattern.toStdString(), name.toStdString(), foldCase),
                 matches);
#if defined(Q_OS_LINUX)
        // The C library's own, byte for byte in the C locale.
        const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
        const locale_t was = ::uselocale(c);
        const int got =
            ::fnmatch(pattern.constData(), name.constData(), foldCase ? FNM_CASEFOLD : 0);
        ::uselocale(was);
        ::freelocale(c);
        QCOMPARE(got == 0, matches);
#endif
    }
};

QTEST_GUILESS_MAIN(TestPattern)
#include "tst_pattern.moc"
