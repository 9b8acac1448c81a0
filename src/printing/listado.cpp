#include "listado.h"

#include "basedatos.h"
#include "global.h"
#include "motor.h"
#include "printxt.h"
#include "traductor.h"
#include "utilidades.h"
#include "vistaprevia.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

#include <chrono>
#include <mutex>

namespace {

// The last listing's connection to a server, kept for the next listing of the same database:
// connecting, with its authentication, costs more than the first page of most listings.
std::mutex g_mutexConexion;
std::unique_ptr<motor::BaseDeDatos> g_conexionLibre;

std::unique_ptr<motor::BaseDeDatos> ConexionListado(const QString& datos)
{
    {
        std::lock_guard<std::mutex> l(g_mutexConexion);
        if (g_conexionLibre && g_conexionLibre->ruta() == datos && !g_conexionLibre->conexionPerdida())
            return std::move(g_conexionLibre);
    }
    auto bd = std::make_unique<motor::BaseDeDatos>(datos);
    bd->planearPrimerasFilas(true);
    return bd;
}

void DevolverConexionListado(std::unique_ptr<motor::BaseDeDatos> bd)
{
    if (!bd || !bd->esPostgreSQL() || bd->conexionPerdida())
        return;
    std::unique_ptr<motor::BaseDeDatos> anterior;
    std::lock_guard<std::mutex> l(g_mutexConexion);
    anterior = std::move(g_conexionLibre);
    g_conexionLibre = std::move(bd);
}

template <typename T>
void Fijar(T& lista, int indice, const QString& texto)
{
    if (indice < 0 || indice > 255)
        return;
    while (lista.size() <= indice)
        lista.append(QString());
    lista[indice] = texto;
}

// A formula counts as given when it holds something: a date, a non-zero number, a text.
bool Dada(const Valor& v)
{
    if (v.esNulo())
        return false;
    if (v.esNumerico())
        return v.aNumero() != 0;
    if (v.tipo() == Valor::Tipo::Texto)
        return !v.aTexto().isEmpty();
    return true;
}

bool Igual(const Valor& v, const QString& texto)
{
    if (v.esNumerico()) {
        bool ok = false;
        const double d = texto.toDouble(&ok);
        return ok && d == v.aNumero();
    }
    return v.aTexto().compare(texto, Qt::CaseInsensitive) == 0;
}

QString LiteralSQL(const Valor& v)
{
    switch (v.tipo()) {
    case Valor::Tipo::Nulo: return QStringLiteral("null");
    case Valor::Tipo::Fecha: return FechaASQL(v.aFecha());
    case Valor::Tipo::FechaHora: return FechaASQL(v.aFechaHora());
    case Valor::Tipo::Texto: return motor::CitarTexto(v.aTexto());
    case Valor::Tipo::Booleano: return v.aBooleano() ? QStringLiteral("1") : QStringLiteral("0");
    case Valor::Tipo::Entero: return QString::number(v.aEntero());
    case Valor::Tipo::Numero: return QString::number(v.aNumero(), 'g', 17);
    }
    return QStringLiteral("null");
}

// Puts the formulas' values into a query text as SQL literals; a name that is not a formula
// given to this run fails, naming it.
bool PonerFormulas(QString& sql, const ValoresNombrados& formulas, QString& falta)
{
    static const QRegularExpression re(QStringLiteral("@([A-Za-z_][A-Za-z0-9_]*)"));
    QString r;
    qsizetype desde = 0;
    auto it = re.globalMatch(sql);
    while (it.hasNext()) {
        const auto m = it.next();
        const auto f = formulas.constFind(m.captured(1).toLower());
        if (f == formulas.constEnd()) {
            falta = m.captured(1);
            return false;
        }
        r += sql.mid(desde, m.capturedStart() - desde) + LiteralSQL(*f);
        desde = m.capturedEnd();
    }
    sql = r + sql.mid(desde);
    return true;
}

QString Corchetes(const QString& campo) { return QLatin1Char('[') + campo + QLatin1Char(']'); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Formulas

QString TextoFechaListado(const std::optional<QDate>& fecha)
{
    QString t = QStringLiteral("Date(@Y,@M,@D)");
    const bool hay = fecha && fecha->isValid();
    Reemplazar(QStringLiteral("@Y"), EnteroATexto(hay ? static_cast<qint16>(fecha->year()) : 0), t);
    Reemplazar(QStringLiteral("@M"), EnteroATexto(hay ? static_cast<qint16>(fecha->month()) : 0), t);
    Reemplazar(QStringLiteral("@D"), EnteroATexto(hay ? static_cast<qint16>(fecha->day()) : 0), t);
    return t;
}

QString FormulaTexto(const QString& nombre, const QString& texto)
{
    // Inner quotes doubled, so a name such as «La "Nueva"» stays one text.
    QString t = texto;
    t.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return nombre + QStringLiteral("=\"") + t + QLatin1Char('"');
}

bool LeerFormula(const QString& texto, QString& nombre, Valor& valor)
{
    const qsizetype igual = texto.indexOf(QLatin1Char('='));
    if (igual <= 0)
        return false;
    nombre = texto.left(igual).trimmed();
    static const QRegularExpression identificador(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!identificador.match(nombre).hasMatch())
        return false;
    const QString v = texto.mid(igual + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'))) {
        QString interior = v.mid(1, v.size() - 2);
        interior.replace(QLatin1String("\"\""), QLatin1String("\""));
        valor = Valor(interior);
        return true;
    }
    static const QRegularExpression fecha(QStringLiteral("^Date\\s*\\(\\s*(-?\\d+)\\s*,\\s*(-?\\d+)\\s*,\\s*(-?\\d+)\\s*\\)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (const auto m = fecha.match(v); m.hasMatch()) {
        const int a = m.captured(1).toInt(), me = m.captured(2).toInt(), d = m.captured(3).toInt();
        if (a == 0 && me == 0 && d == 0) {
            valor = Valor();
            return true;
        }
        const QDate f(a, me, d);
        if (!f.isValid())
            return false;
        valor = Valor(f);
        return true;
    }
    bool ok = false;
    const qint64 entero = v.toLongLong(&ok);
    if (ok) {
        valor = Valor(entero);
        return true;
    }
    const double numero = v.toDouble(&ok);
    if (ok) {
        valor = Valor(numero);
        return true;
    }
    if (v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        valor = Valor(v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
        return true;
    }
    return false;
}

namespace {

Listado Base(const QString& archivo)
{
    Listado l;
    l.NombreArchivo = archivo;
    l.FijarArchivoDatos(0, Global::RutaBaseDatos);
    // Without a header of its own, the listings carry the shop's name.
    QString cabecera = Global::NombreEmpresa;
    if (cabecera.trimmed().isEmpty() && Global::BD) {
        try {
            cabecera = Global::BD->LeerComercio().Nombre;
        } catch (const motor::Error&) {
        }
    }
    l.FijarFormula(0, FormulaTexto(QStringLiteral("NombreEmpresa"), cabecera));
    return l;
}

void Filtros(Listado& l, std::optional<qint32> cliente, std::optional<QDate> desde, std::optional<QDate> hasta,
             const QString& seleccion, int valor)
{
    l.FijarFormula(1, QStringLiteral("fchDesde=") + TextoFechaListado(desde));
    l.FijarFormula(2, QStringLiteral("fchHasta=") + TextoFechaListado(hasta));
    l.FijarFormula(3, QStringLiteral("UnCli=") + (cliente ? LargoATexto(*cliente) : QStringLiteral("0")));
    l.FijarFormula(4, seleccion + QLatin1Char('=') + QString::number(valor));
}

}  // namespace

Listado ListadoClientes(const QString& columnaOrden)
{
    Listado l = Base(QStringLiteral("LstClien.rpt"));
    l.FijarCampoOrden(0, QStringLiteral("+{Cliente.") + columnaOrden + QLatin1Char('}'));
    l.TituloVentana = QStringLiteral("Listado general de clientes");
    return l;
}

Listado ListadoFacturas(bool porClientes, std::optional<qint32> cliente, std::optional<QDate> desde,
                        std::optional<QDate> hasta, int selPend)
{
    Listado l = Base(porClientes ? QStringLiteral("LstFactCli.rpt") : QStringLiteral("LstFactFch.rpt"));
    Filtros(l, cliente, desde, hasta, QStringLiteral("SelPend"), selPend);
    return l;
}

Listado ListadoAlbaranes(std::optional<qint32> cliente, std::optional<QDate> desde, std::optional<QDate> hasta, int filtro)
{
    Listado l = Base(QStringLiteral("LstAlb.rpt"));
    Filtros(l, cliente, desde, hasta, QStringLiteral("filtro"), filtro);
    return l;
}

// ---------------------------------------------------------------------------------------------
// Listado

void Listado::FijarArchivoDatos(int indice, const QString& ruta) { Fijar(ArchivosDatos, indice, ruta); }
void Listado::FijarFormula(int indice, const QString& texto) { Fijar(Formulas, indice, texto); }
void Listado::FijarCampoOrden(int indice, const QString& campo) { Fijar(CamposOrden, indice, campo); }

std::unique_ptr<EjecucionListado> Listado::Preparar(QString& error) const
{
    error.clear();
    if (NombreArchivo.trimmed().isEmpty()) {
        error = QStringLiteral("No se ha indicado qué listado imprimir.");
        return nullptr;
    }
    const QString ruta = BuscarDefinicionListado(NombreArchivo);
    if (ruta.isEmpty()) {
        error = QStringLiteral("No se encuentra el listado «%1» (%2) junto al programa ni en la carpeta de datos instalada.")
                    .arg(ArchivoDefinicion(NombreArchivo), NombreArchivo);
        return nullptr;
    }
    std::optional<DefinicionListado> def = LeerDefinicionListado(ruta, error);
    if (!def)
        return nullptr;
    const QString donde = QStringLiteral("Listado «%1»").arg(QFileInfo(ruta).fileName());

    ValoresNombrados formulas;
    for (int i = 0; i < Formulas.size(); ++i) {
        if (Formulas[i].trimmed().isEmpty())
            continue;
        QString nombre;
        Valor valor;
        if (!LeerFormula(Formulas[i], nombre, valor)) {
            error = donde + QStringLiteral(": la fórmula %1 («%2») no tiene la forma nombre=valor.").arg(i).arg(Formulas[i]);
            return nullptr;
        }
        formulas.insert(nombre.toLower(), valor);
    }

    const QString datos = ArchivosDatos.value(0).trimmed();
    if (datos.isEmpty()) {
        error = donde + QStringLiteral(": no se ha indicado la base de datos.");
        return nullptr;
    }
    std::unique_ptr<EjecucionListado> ej(new EjecucionListado);
    ej->m_archivo = ruta;
    ej->m_titulo = TituloVentana.isEmpty() ? def->titulo : TituloVentana;
    try {
        ej->m_bd = ConexionListado(datos);
    } catch (const motor::Error& e) {
        error = QStringLiteral("No se puede abrir la base de datos «%1» para el listado «%2»: %3")
                    .arg(datos, QFileInfo(ruta).fileName(), e.mensaje());
        return nullptr;
    }

    QString paso;  // what was being done, for the engine's messages
    const bool servidor = ej->m_bd->esPostgreSQL() && !def->consultaServidor.isEmpty();
    const QString& fuente = servidor ? def->consultaServidor : def->consulta;
    int linea = servidor ? def->lineaConsultaServidor : def->lineaConsulta;
    try {
        // Conditions whose formula was given: at the query's @DONDE, or on its rows.
        QStringList dentro, fuera;
        for (const CondicionListado& c : def->condiciones) {
            const Valor v = formulas.value(c.formula.toLower());
            if (c.valor ? !Igual(v, *c.valor) : !Dada(v))
                continue;
            QString sql = BaseDatos::NombresLargos(c.sql);
            QString falta;
            if (!PonerFormulas(sql, formulas, falta)) {
                error = donde + QStringLiteral(", línea %1: la condición usa «@%2», que no es una fórmula de este listado.").arg(c.linea).arg(falta);
                return nullptr;
            }
            (c.sobreFilas || !fuente.contains(QLatin1String("@DONDE")) ? fuera : dentro) << sql;
        }
        QString consulta = BaseDatos::NombresLargos(fuente);
        Reemplazar(QStringLiteral("@DONDE"), dentro.isEmpty() ? QString() : QStringLiteral(" where ") + dentro.join(QStringLiteral(" and ")) + QLatin1Char(' '),
                   consulta);
        QString falta;
        if (!PonerFormulas(consulta, formulas, falta)) {
            error = donde + QStringLiteral(", línea %1: la consulta usa «@%2», que no es una fórmula de este listado.").arg(linea).arg(falta);
            return nullptr;
        }

        // The columns the query gives, to check every name against.
        paso = QStringLiteral("la consulta");
        const QString interior = QStringLiteral("select * from (") + consulta + QStringLiteral(") as Listado");
        QStringList columnas;
        {
            motor::BaseDeDatos::Sentencia& st = ej->m_bd->preparar(TraducirSQL(interior, ej->m_bd->esPostgreSQL()));
            for (int i = 0; i < st.columnas(); ++i)
                columnas << st.nombreColumna(i);
        }
        auto columna = [&columnas](const QString& nombre) -> QString {
            for (const QString& c : columnas)
                if (c.compare(nombre, Qt::CaseInsensitive) == 0)
                    return c;
            return {};
        };

        QStringList orden;
        if (!def->grupo.isEmpty() && !columna(def->grupo).isEmpty())
            orden << Corchetes(columna(def->grupo));
        static const QRegularExpression campoOrden(QStringLiteral("^([+-]?)\\s*\\{(?:[^.{}]*\\.)?([^.{}]+)\\}$"));
        for (const QString& texto : CamposOrden) {
            if (texto.trimmed().isEmpty())
                continue;
            const auto m = campoOrden.match(texto.trimmed());
            const QString c = m.hasMatch() ? columna(m.captured(2).trimmed()) : QString();
            if (c.isEmpty()) {
                error = donde + QStringLiteral(": no se puede ordenar por «%1»: no es un campo del listado.").arg(texto);
                return nullptr;
            }
            orden << Corchetes(c) + (m.captured(1) == QLatin1String("-") ? QStringLiteral(" desc") : QString());
        }
        for (const QString& o : def->orden) {
            const QString c = columna(o);
            if (c.isEmpty()) {
                error = donde + QStringLiteral(", línea %1: no se puede ordenar por «%2»: la consulta no da ese campo.").arg(def->lineaOrden).arg(o);
                return nullptr;
            }
            orden << Corchetes(c);
        }
        QString sql = interior;
        if (!fuera.isEmpty())
            sql += QStringLiteral(" where ") + fuera.join(QStringLiteral(" and "));
        if (!orden.isEmpty())
            sql += QStringLiteral(" order by ") + orden.join(QStringLiteral(", "));
        ej->m_sql = TraducirSQL(sql, ej->m_bd->esPostgreSQL());
        ej->m_bd->preparar(ej->m_sql);

        // Named values read once, before the rows.
        for (const DatoListado& d : def->datos) {
            linea = d.linea;
            paso = QStringLiteral("el dato «%1»").arg(d.nombre);
            QString q = BaseDatos::NombresLargos(d.sql);
            if (!PonerFormulas(q, formulas, falta)) {
                error = donde + QStringLiteral(", línea %1: el dato usa «@%2», que no es una fórmula de este listado.").arg(d.linea).arg(falta);
                return nullptr;
            }
            formulas.insert(d.nombre.toLower(), ej->m_bd->valorUnico(q));
        }
        if (!ej->m_composicion.Iniciar(*def, columnas, formulas, error))
            return nullptr;
    } catch (const motor::Error& e) {
        error = donde + QStringLiteral(", línea %1: la base de datos no acepta %2: %3").arg(linea).arg(paso, e.mensaje());
        return nullptr;
    }
    return ej;
}

bool Listado::Accion(int accion, QWidget* padre)
{
    if (accion != 1)
        return false;
    QString error;
    std::unique_ptr<EjecucionListado> ej = Preparar(error);
    if (!ej) {
        Avisar(error);
        return false;
    }
    // Beside the main window, not inside the browser that asked: it outlives the browser.
    auto* vista = new VistaPreviaListado(std::move(ej), padre ? padre->window() : nullptr);
    vista->show();
    vista->Empezar();
    return true;
}

// ---------------------------------------------------------------------------------------------
// EjecucionListado

void EjecucionListado::Detener()
{
    m_detener = true;
    if (m_bd && m_hilo.joinable())
        m_bd->interrumpir();
}

EjecucionListado::~EjecucionListado()
{
    Detener();
    if (m_hilo.joinable())
        m_hilo.join();
    DevolverConexionListado(std::move(m_bd));
}

void EjecucionListado::Empezar()
{
    if (m_hilo.joinable() || m_acabada)
        return;
    m_hilo = std::thread([this] { Leer(true); });
}

bool EjecucionListado::LeerTodo(QString& error)
{
    if (!m_hilo.joinable() && !m_acabada)
        Leer(false);
    else if (m_hilo.joinable()) {
        m_hilo.join();
        QCoreApplication::sendPostedEvents(this);
    }
    error = m_error;
    return m_acabada && m_error.isEmpty();
}

void EjecucionListado::Leer(bool aparte)
{
    using Reloj = std::chrono::steady_clock;
    auto entregar = [this, aparte](std::vector<std::vector<Valor>> filas, bool fin, const QString& error) {
        if (aparte)
            QMetaObject::invokeMethod(
                this, [this, f = std::move(filas), fin, error]() mutable { Recibir(std::move(f), fin, error); }, Qt::QueuedConnection);
        else
            Recibir(std::move(filas), fin, error);
    };
    std::vector<std::vector<Valor>> lote;
    // The first batch is about one page, so the preview shows it at once.
    size_t limite = 64;
    auto inicio = Reloj::now();
    QString error;
    try {
        motor::BaseDeDatos::Sentencia& st = m_bd->preparar(m_sql);
        st.vincular({});
        const int n = st.columnas();
        // A query that never ends (or a runaway join) would fill the memory: it stops here.
        constexpr size_t kMaxFilas = 2'000'000;
        size_t leidas = 0;
        while (!m_detener && st.paso()) {
            if (++leidas > kMaxFilas) {
                error = QStringLiteral("Listado «%1»: pasa de 2.000.000 filas y se ha detenido. "
                                       "Acote el listado (por fechas o por cliente) o revise su consulta.")
                            .arg(QFileInfo(m_archivo).fileName());
                break;
            }
            std::vector<Valor> fila(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i)
                fila[static_cast<size_t>(i)] = st.columna(i);
            lote.push_back(std::move(fila));
            if (lote.size() >= limite || Reloj::now() - inicio > std::chrono::milliseconds(200)) {
                entregar(std::move(lote), false, {});
                lote = {};
                limite = 2000;
                inicio = Reloj::now();
            }
        }
        st.reiniciar();
        if (m_detener)
            error = QStringLiteral("Listado interrumpido.");
    } catch (const motor::Error& e) {
        error = m_detener ? QStringLiteral("Listado interrumpido.")
                          : QStringLiteral("Listado «%1»: la base de datos falló al leer las filas: %2").arg(QFileInfo(m_archivo).fileName(), e.mensaje());
    }
    entregar(std::move(lote), true, error);
}

void EjecucionListado::Recibir(std::vector<std::vector<Valor>> filas, bool fin, const QString& error)
{
    for (const auto& f : filas)
        m_composicion.AnadirFila(f);
    if (fin) {
        m_error = error;
        if (error.isEmpty())
            m_composicion.Terminar();
        m_acabada = true;
    }
    emit Avance();
    if (fin)
        emit Terminado(error);
}
