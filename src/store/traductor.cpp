#include "traductor.h"

#include <QDate>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

enum class Clase { Espacio, Palabra, Numero, Texto, Identificador, Fecha, Simbolo };

struct Token {
    Clase clase;
    QString texto;
};

std::vector<Token> trocear(const QString& sql)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype inicio = i;
        if (c.isSpace()) {
            while (i < n && sql[i].isSpace())
                ++i;
            tokens.push_back({Clase::Espacio, sql.mid(inicio, i - inicio)});
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // Quoted text or identifier; a doubled quote stays inside.
            ++i;
            while (i < n) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            tokens.push_back({c == QLatin1Char('\'') ? Clase::Texto : Clase::Identificador, sql.mid(inicio, i - inicio)});
        } else if (c == QLatin1Char('[')) {
            const qsizetype fin = sql.indexOf(QLatin1Char(']'), i);
            i = fin < 0 ? n : fin + 1;
            QString nombre = sql.mid(inicio + 1, (fin < 0 ? n : fin) - inicio - 1);
            nombre.replace(QLatin1String("\""), QLatin1String("\"\""));
            tokens.push_back({Clase::Identificador, QLatin1Char('"') + nombre + QLatin1Char('"')});
        } else if (c == QLatin1Char('#')) {
            const qsizetype fin = sql.indexOf(QLatin1Char('#'), i + 1);
            if (fin < 0) {
                ++i;
                tokens.push_back({Clase::Simbolo, QStringLiteral("#")});
                continue;
            }
            i = fin + 1;
            tokens.push_back({Clase::Fecha, sql.mid(inicio + 1, fin - inicio - 1)});
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == QLatin1Char('_')))
                ++i;
            tokens.push_back({Clase::Palabra, sql.mid(inicio, i - inicio)});
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && sql[i + 1].isDigit())) {
            while (i < n && (sql[i].isDigit() || sql[i] == QLatin1Char('.')))
                ++i;
            if (i < n && (sql[i] == QLatin1Char('e') || sql[i] == QLatin1Char('E'))) {
                qsizetype j = i + 1;
                if (j < n && (sql[j] == QLatin1Char('+') || sql[j] == QLatin1Char('-')))
                    ++j;
                if (j < n && sql[j].isDigit()) {
                    i = j;
                    while (i < n && sql[i].isDigit())
                        ++i;
                }
            }
            tokens.push_back({Clase::Numero, sql.mid(inicio, i - inicio)});
        } else {
            // Two-character operators stay together.
            static const QStringList dobles = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">="),
                                               QStringLiteral("!="), QStringLiteral("||"), QStringLiteral("==")};
            if (i + 1 < n && dobles.contains(sql.mid(i, 2))) {
                i += 2;
            } else {
                ++i;
            }
            tokens.push_back({Clase::Simbolo, sql.mid(inicio, i - inicio)});
        }
    }
    return tokens;
}

// Date literal #m/d/yyyy# (or #yyyy-mm-dd#, with an optional time) as ISO text.
QString fechaISO(const QString& literal)
{
    const QString t = literal.trimmed();
    const QStringList partes = t.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QDate d = QDate::fromString(partes.value(0), QStringLiteral("M/d/yyyy"));
    if (!d.isValid())
        d = QDate::fromString(partes.value(0), Qt::ISODate);
    QString r = d.isValid() ? d.toString(Qt::ISODate) : partes.value(0);
    if (partes.size() > 1)
        r += QLatin1Char(' ') + partes.value(1);
    r.replace(QLatin1String("'"), QLatin1String("''"));
    return QLatin1Char('\'') + r + QLatin1Char('\'');
}

class Traductor {
public:
    Traductor(std::vector<Token> tokens, bool postgres) : m_t(std::move(tokens)), m_postgres(postgres) {}

    QString traducir() { return secuencia(0, m_t.size()); }

private:
    // Index of the ")" that closes the "(" at `abre`, or `fin` when unbalanced.
    size_t cierre(size_t abre, size_t fin) const
    {
        int nivel = 0;
        for (size_t i = abre; i < fin; ++i) {
            if (m_t[i].clase != Clase::Simbolo)
                continue;
            if (m_t[i].texto == QLatin1String("("))
                ++nivel;
            else if (m_t[i].texto == QLatin1String(")") && --nivel == 0)
                return i;
        }
        return fin;
    }

    // Top-level comma-separated arguments between `desde` and `hasta` (exclusive).
    std::vector<std::pair<size_t, size_t>> argumentos(size_t desde, size_t hasta) const
    {
        std::vector<std::pair<size_t, size_t>> args;
        int nivel = 0;
        size_t inicio = desde;
        for (size_t i = desde; i < hasta; ++i) {
            if (m_t[i].clase != Clase::Simbolo)
                continue;
            const QString& s = m_t[i].texto;
            if (s == QLatin1String("("))
                ++nivel;
            else if (s == QLatin1String(")"))
                --nivel;
            else if (s == QLatin1String(",") && nivel == 0) {
                args.emplace_back(inicio, i);
                inicio = i + 1;
            }
        }
        args.emplace_back(inicio, hasta);
        return args;
    }

    size_t siguienteNoEspacio(size_t i, size_t fin) const
    {
        while (i < fin && m_t[i].clase == Clase::Espacio)
            ++i;
        return i;
    }

    QString funcion(const QString& nombre, size_t abre, size_t cierra)
    {
        const QString n = nombre.toLower();
        const auto args = argumentos(abre + 1, cierra);
        QStringList a;
        for (const auto& [d, h] : args)
            a << secuencia(d, h).trimmed();
        if (m_postgres && n == QLatin1String("group_concat") && (a.size() == 1 || a.size() == 2))
            return QLatin1String("string_agg((") + a[0] + QLatin1String(")::text, ")
                + (a.size() == 2 ? a[1] : QStringLiteral("','")) + QLatin1Char(')');
        if (n == QLatin1String("isnull") && a.size() == 1)
            return QLatin1Char('(') + a[0] + QLatin1String(" IS NULL)");
        if (n == QLatin1String("int") && a.size() == 1)
            return QLatin1String("floor(") + a[0] + QLatin1Char(')');
        if (n == QLatin1String("iif") && a.size() == 3)
            return QLatin1String("(CASE WHEN ") + condicion(args[0].first, args[0].second, a[0]) + QLatin1String(" THEN ") + a[1] + QLatin1String(" ELSE ")
                + a[2] + QLatin1String(" END)");
        if (n == QLatin1String("switch") && a.size() >= 2 && a.size() % 2 == 0) {
            QString r = QStringLiteral("(CASE");
            for (qsizetype i = 0; i + 1 < a.size(); i += 2)
                r += QLatin1String(" WHEN ") + condicion(args[static_cast<size_t>(i)].first, args[static_cast<size_t>(i)].second, a[i])
                    + QLatin1String(" THEN ") + a[i + 1];
            return r + QLatin1String(" END)");
        }
        return nombre + QLatin1Char('(') + a.join(QLatin1String(", ")) + QLatin1Char(')');
    }

    QString secuencia(size_t desde, size_t hasta)
    {
        QString r;
        for (size_t i = desde; i < hasta; ++i) {
            const Token& t = m_t[i];
            switch (t.clase) {
            case Clase::Palabra: {
                const QString l = t.texto.toLower();
                if (l == QLatin1String("distinctrow")) {
                    // Drop the word and the blank after it.
                    if (i + 1 < hasta && m_t[i + 1].clase == Clase::Espacio)
                        ++i;
                    break;
                }
                if (m_postgres && l == QLatin1String("like")) {
                    // Texts compare without regard to case in a collation LIKE cannot use on
                    // PostgreSQL: the pattern brings the database's own, and ILIKE ignores case
                    // as SQLite's LIKE does.
                    const size_t patron = siguienteNoEspacio(i + 1, hasta);
                    const size_t fin = finDeOperando(patron, hasta);
                    r += QLatin1String("ILIKE (") + secuencia(patron, fin).trimmed() + QLatin1String(") COLLATE \"default\"");
                    i = fin - 1;
                    break;
                }
                if (l == QLatin1String("true") || l == QLatin1String("false")) {
                    // A truth value as a whole condition stays one on PostgreSQL; elsewhere it is
                    // the number a yes/no field holds.
                    if (m_postgres && sola(i, i + 1, hasta))
                        r += l;
                    else
                        r += l == QLatin1String("true") ? QLatin1Char('1') : QLatin1Char('0');
                    break;
                }
                const size_t p = siguienteNoEspacio(i + 1, hasta);
                if (p < hasta && m_t[p].clase == Clase::Simbolo && m_t[p].texto == QLatin1String("(") && m_postgres
                    && subconsultaSinNombre(p, hasta)) {
                    // PostgreSQL 15 wants a name for a query read as a table.
                    const size_t c = cierre(p, hasta);
                    r += t.texto + QLatin1String(" (") + secuencia(p + 1, c) + QLatin1String(") AS subconsulta")
                        + QString::number(++m_subconsultas);
                    i = c;
                    break;
                }
                if (p < hasta && m_t[p].clase == Clase::Simbolo && m_t[p].texto == QLatin1String("(")) {
                    const size_t c = cierre(p, hasta);
                    r += funcion(t.texto, p, c);
                    i = c;
                    break;
                }
                if (!columnaSola(i, hasta, r))
                    r += t.texto;
                break;
            }
            case Clase::Identificador:
                if (!columnaSola(i, hasta, r))
                    r += t.texto;
                break;
            case Clase::Fecha: r += fechaISO(t.texto); break;
            case Clase::Simbolo:
                if (t.texto == QLatin1String("/"))
                    r += m_postgres ? QLatin1String(" * 1.0::float8 /") : QLatin1String(" * 1.0 /");
                else if (t.texto == QLatin1String("&"))
                    r += QLatin1String("||");
                else
                    r += t.texto;
                break;
            default: r += t.texto; break;
            }
        }
        return r;
    }

    // Where the operand that starts at `desde` ends: at a word or a symbol that ends an expression.
    size_t finDeOperando(size_t desde, size_t hasta) const
    {
        static const QStringList fin = {QStringLiteral("and"), QStringLiteral("or"), QStringLiteral("escape"), QStringLiteral("order"),
                                        QStringLiteral("group"), QStringLiteral("having"), QStringLiteral("limit"), QStringLiteral("union"),
                                        QStringLiteral("then"), QStringLiteral("else"), QStringLiteral("end"), QStringLiteral("when"),
                                        QStringLiteral("as"), QStringLiteral("from"), QStringLiteral("where")};
        int nivel = 0;
        size_t i = desde;
        for (; i < hasta; ++i) {
            const Token& t = m_t[i];
            if (t.clase == Clase::Simbolo) {
                if (t.texto == QLatin1String("("))
                    ++nivel;
                else if (t.texto == QLatin1String(")") && --nivel < 0)
                    break;
                else if (nivel == 0 && t.texto == QLatin1String(","))
                    break;
            } else if (nivel == 0 && t.clase == Clase::Palabra && fin.contains(t.texto.toLower())) {
                break;
            }
        }
        while (i > desde && m_t[i - 1].clase == Clase::Espacio)
            --i;
        return i;
    }

    // A condition that is one column (or one quoted name) is a yes/no field: PostgreSQL wants it
    // compared, as its yes/no fields are small integers.
    QString condicion(size_t desde, size_t hasta, const QString& traducida) const
    {
        if (!m_postgres)
            return traducida;
        int palabras = 0;
        for (size_t i = desde; i < hasta; ++i) {
            const Token& t = m_t[i];
            if (t.clase == Clase::Espacio)
                continue;
            if (t.clase == Clase::Simbolo && t.texto == QLatin1String("."))
                continue;
            if (t.clase != Clase::Palabra && t.clase != Clase::Identificador)
                return traducida;
            const QString l = t.texto.toLower();
            if (l == QLatin1String("true") || l == QLatin1String("false"))
                return palabras == 0 && traducida.trimmed().size() == 1 ? l : traducida;
            if (l == QLatin1String("not"))
                return traducida;
            ++palabras;
        }
        return palabras > 0 && palabras <= 2 ? QLatin1Char('(') + traducida + QLatin1String("::int <> 0)") : traducida;
    }

    // The end of the column named at `i`: a name, or a table's name, a dot and a name.
    size_t finDeColumna(size_t i, size_t hasta) const
    {
        if (i + 2 < hasta && m_t[i + 1].clase == Clase::Simbolo && m_t[i + 1].texto == QLatin1String(".")
            && (m_t[i + 2].clase == Clase::Palabra || m_t[i + 2].clase == Clase::Identificador))
            return i + 3;
        return i + 1;
    }

    // On PostgreSQL, a column named at `i` that stands alone as a condition is written compared
    // with zero, through an integer (a yes/no field is a small integer, the catalogue's flags
    // are booleans); `i` moves to its last token. False when it is not such a column.
    bool columnaSola(size_t& i, size_t hasta, QString& r) const
    {
        const size_t fin = finDeColumna(i, hasta);
        if (!m_postgres || !sola(i, fin, hasta))
            return false;
        r += QLatin1Char('(');
        for (; i < fin; ++i)
            r += m_t[i].texto;
        r += QLatin1String("::int <> 0)");
        --i;
        return true;
    }

    static bool esPalabra(const Token& t, std::initializer_list<QLatin1String> palabras)
    {
        if (t.clase != Clase::Palabra)
            return false;
        const QString l = t.texto.toLower();
        return std::any_of(palabras.begin(), palabras.end(), [&](QLatin1String p) { return l == p; });
    }

    // Whether the tokens from `desde` to `fin` stand alone as a condition (after WHERE, ON,
    // HAVING, WHEN, NOT, AND or OR, up to the next AND, OR, ")" or clause): PostgreSQL wants a
    // truth value there, and its yes/no fields are small integers.
    bool sola(size_t desde, size_t fin, size_t hasta) const
    {
        if (esPalabra(m_t[desde], {QLatin1String("null"), QLatin1String("case"), QLatin1String("end"), QLatin1String("not"),
                                   QLatin1String("exists"), QLatin1String("select"), QLatin1String("distinct")}))
            return false;
        const size_t d = siguienteNoEspacio(fin, hasta);
        if (d < hasta) {
            const Token& t = m_t[d];
            const bool cierra = (t.clase == Clase::Simbolo && (t.texto == QLatin1String(")") || t.texto == QLatin1String(";")))
                || esPalabra(t, {QLatin1String("and"), QLatin1String("or"), QLatin1String("order"), QLatin1String("group"),
                                 QLatin1String("having"), QLatin1String("limit"), QLatin1String("union"), QLatin1String("then"),
                                 QLatin1String("where"), QLatin1String("inner"), QLatin1String("left"), QLatin1String("right"),
                                 QLatin1String("join")});
            if (!cierra)
                return false;
        }
        size_t a = anterior(desde);
        while (a != kNinguno && m_t[a].clase == Clase::Simbolo && m_t[a].texto == QLatin1String("("))
            a = anterior(a);
        if (a == kNinguno)
            return false;
        if (esPalabra(m_t[a], {QLatin1String("and")}))
            return !deBetween(a);
        if (esPalabra(m_t[a], {QLatin1String("when")}))
            return !casoConValor(a);
        // "IS NOT" is followed by a value.
        if (const size_t b = anterior(a); esPalabra(m_t[a], {QLatin1String("not")}) && b != kNinguno && esPalabra(m_t[b], {QLatin1String("is")}))
            return false;
        return esPalabra(m_t[a], {QLatin1String("where"), QLatin1String("or"), QLatin1String("not"), QLatin1String("on"),
                                  QLatin1String("having")});
    }

    static constexpr size_t kNinguno = static_cast<size_t>(-1);

    // The token before `i` that is not a blank; kNinguno when there is none.
    size_t anterior(size_t i) const
    {
        for (size_t a = i; a > 0; --a)
            if (m_t[a - 1].clase != Clase::Espacio)
                return a - 1;
        return kNinguno;
    }

    // Whether the AND at `y` closes a BETWEEN's range rather than joining two conditions.
    bool deBetween(size_t y) const
    {
        int nivel = 0;
        for (size_t i = y; i > 0; --i) {
            const Token& t = m_t[i - 1];
            if (t.clase == Clase::Simbolo && t.texto == QLatin1String(")"))
                ++nivel;
            else if (t.clase == Clase::Simbolo && t.texto == QLatin1String("(") && --nivel < 0)
                return false;
            else if (nivel == 0 && esPalabra(t, {QLatin1String("between")}))
                return true;
            else if (nivel == 0
                     && esPalabra(t, {QLatin1String("and"), QLatin1String("or"), QLatin1String("where"), QLatin1String("on"),
                                      QLatin1String("having"), QLatin1String("when"), QLatin1String("not"), QLatin1String("select")}))
                return false;
        }
        return false;
    }

    // Whether the WHEN at `w` belongs to "CASE value WHEN ...", where it is followed by a value
    // to compare rather than a condition.
    bool casoConValor(size_t w) const
    {
        int nivel = 0, casos = 0;
        for (size_t i = w; i > 0; --i) {
            const Token& t = m_t[i - 1];
            if (t.clase == Clase::Simbolo && t.texto == QLatin1String(")"))
                ++nivel;
            else if (t.clase == Clase::Simbolo && t.texto == QLatin1String("(") && --nivel < 0)
                return false;
            else if (nivel == 0 && esPalabra(t, {QLatin1String("end")}))
                ++casos;  // a whole CASE inside this one
            else if (nivel == 0 && esPalabra(t, {QLatin1String("case")}) && casos-- == 0)
                return !esPalabra(m_t[siguienteNoEspacio(i, w + 1)], {QLatin1String("when")});
        }
        return false;
    }

    // "from (select ...)" with nothing after the ")" that names it.
    bool subconsultaSinNombre(size_t abre, size_t hasta) const
    {
        size_t antes = abre;
        while (antes > 0 && m_t[antes - 1].clase == Clase::Espacio)
            --antes;
        if (antes == 0 || m_t[antes - 1].clase != Clase::Palabra || m_t[antes - 1].texto.toLower() != QLatin1String("from"))
            return false;
        const size_t dentro = siguienteNoEspacio(abre + 1, hasta);
        if (dentro >= hasta || m_t[dentro].texto.toLower() != QLatin1String("select"))
            return false;
        const size_t c = cierre(abre, hasta);
        if (c >= hasta)
            return false;
        const size_t despues = siguienteNoEspacio(c + 1, hasta);
        if (despues >= hasta)
            return true;
        const Token& t = m_t[despues];
        static const QStringList siguen = {QStringLiteral("where"), QStringLiteral("group"), QStringLiteral("order"),
                                           QStringLiteral("limit"), QStringLiteral("union"), QStringLiteral("having"),
                                           QStringLiteral("left"), QStringLiteral("inner"), QStringLiteral("join"),
                                           QStringLiteral("on")};
        return t.clase == Clase::Simbolo || (t.clase == Clase::Palabra && siguen.contains(t.texto.toLower()));
    }

    std::vector<Token> m_t;
    bool m_postgres = false;
    int m_subconsultas = 0;
};

}  // namespace

QString TraducirSQL(const QString& sql, bool postgres)
{
    return Traductor(trocear(sql), postgres).traducir();
}
