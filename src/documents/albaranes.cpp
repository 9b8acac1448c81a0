#include "albaranes.h"

#include "albaran.h"
#include "basedatos.h"
#include "dinero.h"
#include "factura.h"
#include "formato.h"
#include "global.h"
#include "huella.h"
#include "motor.h"
#include "utilidades.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

// The stored digest of each note, as Albaran::SinCambiosAjenos reads it one note at a time, read
// a few hundred notes a statement. A note no longer stored has none.
std::unordered_map<qint32, QByteArray> HuellasGuardadas(BaseDatos& bd, const std::vector<qint32>& numeros)
{
    std::unordered_map<qint32, QByteArray> huellas;
    constexpr size_t kPorLectura = 500;
    for (size_t desde = 0; desde < numeros.size(); desde += kPorLectura) {
        const std::vector<qint32> parte(numeros.begin() + static_cast<std::ptrdiff_t>(desde),
                                        numeros.begin() + static_cast<std::ptrdiff_t>(std::min(numeros.size(), desde + kPorLectura)));
        motor::Recordset cabeceras, lineas;
        if (!bd.ConsultaAlbaranes(parte, cabeceras, lineas))
            return huellas;
        QStringList campos;
        int cNumero = -1;
        for (int i = 0; i < lineas.numCampos(); ++i) {
            campos << lineas.nombreCampo(i);
            if (campos.last().compare(QLatin1String("Numero"), Qt::CaseInsensitive) == 0)
                cNumero = i;
        }
        std::unordered_map<qint32, std::vector<std::vector<Valor>>> porNota;
        for (; cNumero >= 0 && !lineas.eof(); lineas.moveNext()) {
            std::vector<Valor> fila;
            fila.reserve(static_cast<size_t>(lineas.numCampos()));
            for (int i = 0; i < lineas.numCampos(); ++i)
                fila.push_back(lineas.campo(i));
            porNota[CampoALargo(fila[static_cast<size_t>(cNumero)])].push_back(std::move(fila));
        }
        for (; !cabeceras.eof(); cabeceras.moveNext()) {
            std::vector<Valor> fila;
            for (int i = 0; i < cabeceras.numCampos(); ++i)
                fila.push_back(cabeceras.campo(i));
            const qint32 numero = CampoALargo(cabeceras[QStringLiteral("Numero")]);
            huellas[numero] = HuellaDocumento(fila, campos, porNota[numero]);
        }
    }
    return huellas;
}

qint16 Cuenta(size_t n) { return static_cast<qint16>(std::min<size_t>(n, std::numeric_limits<qint16>::max())); }

void Sumar(qint16& contador)
{
    if (contador < std::numeric_limits<qint16>::max())
        ++contador;
}

}  // namespace

QString MotivosAgrupados(const std::vector<std::pair<qint64, QString>>& fallos, const QString& uno, const QString& varios)
{
    constexpr size_t kNombrados = 10;
    std::vector<std::pair<QString, std::vector<qint64>>> grupos;
    for (const auto& [numero, motivo] : fallos) {
        auto g = std::find_if(grupos.begin(), grupos.end(), [&](const auto& x) { return x.first == motivo; });
        if (g == grupos.end())
            g = grupos.insert(grupos.end(), {motivo, {}});
        g->second.push_back(numero);
    }
    QStringList lineas;
    for (const auto& [motivo, numeros] : grupos) {
        QStringList nombrados;
        for (size_t i = 0; i < std::min(numeros.size(), kNombrados); ++i)
            nombrados << QString::number(numeros[i]);
        QString lista = nombrados.last();
        if (numeros.size() > kNombrados)
            lista = nombrados.join(QStringLiteral(", ")) + QStringLiteral(" y %1 más").arg(numeros.size() - kNombrados);
        else if (nombrados.size() > 1)
            lista = nombrados.mid(0, nombrados.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" y ") + lista;
        lineas << QStringLiteral("%1 %2: %3").arg(numeros.size() == 1 ? uno : varios, lista, motivo);
    }
    return lineas.join(QLatin1Char('\n'));
}

QString TextoLineasRechazadas(const std::vector<std::pair<qint64, QString>>& rechazadas, size_t total)
{
    std::vector<std::pair<qint64, QString>> lineas, quitadas;
    for (const auto& r : rechazadas)
        (r.first > 0 ? lineas : quitadas).push_back(r);
    QStringList partes;
    if (!lineas.empty())
        partes << (lineas.size() == 1 ? QStringLiteral("El albarán no se ha guardado: una de sus %1 líneas no se puede guardar.").arg(total)
                                      : QStringLiteral("El albarán no se ha guardado: %1 de sus %2 líneas no se pueden guardar.")
                                            .arg(lineas.size())
                                            .arg(total))
               << MotivosAgrupados(lineas, QStringLiteral("Línea"), QStringLiteral("Líneas"));
    if (!quitadas.empty())
        partes << (lineas.empty() ? QStringLiteral("El albarán no se ha guardado: ") : QString())
                + (quitadas.size() == 1 ? QStringLiteral("una de las líneas quitadas no se puede borrar: %1").arg(quitadas.front().second)
                                        : QStringLiteral("%1 de las líneas quitadas no se pueden borrar: %2")
                                              .arg(quitadas.size())
                                              .arg(quitadas.front().second));
    partes << QStringLiteral("El albarán sigue como estaba. Corrija esas líneas y vuelva a guardar.");
    return partes.join(QLatin1Char('\n'));
}

QString TextoTituloAlbaran(qint32 numero, const QDate& fecha)
{
    QString t = QStringLiteral("Albarán Nº@N de fecha @F");
    Reemplazar(QStringLiteral("@N"), QString::number(numero), t);
    Reemplazar(QStringLiteral("@F"), Formato(Valor(fecha), QStringLiteral("dd/mm/yyyy")), t);
    return t;
}

QString TextoConceptoAlbaran(qint32 numero, const QDate& fecha, double iva)
{
    auto texto = [&](QString t) {
        Reemplazar(QStringLiteral("@N"), QString::number(numero), t);
        Reemplazar(QStringLiteral("@F"), Formato(Valor(fecha), QStringLiteral("dd/mm/yyyy")), t);
        Reemplazar(QStringLiteral("@I"), Formato(iva, QStringLiteral("0.0")), t);
        return t;
    };
    const QString t = texto(QStringLiteral("Albarán Nº@N de fecha @F  (iva @I%)"));
    // The stored concept holds 50 characters: from note 10,000,000 on the long form does not.
    constexpr qsizetype kLargoConcepto = 50;
    return t.size() <= kLargoConcepto ? t : texto(QStringLiteral("Albarán Nº@N de @F (iva @I%)"));
}

double SinIVA(double valor, double iva)
{
    return AEuros(SinIVACentimos(Centimos(valor), static_cast<float>(iva)));
}

Albaranes::Albaranes(BaseDatos& bd, QObject* padre) : QObject(padre), m_bd(bd) {}
Albaranes::~Albaranes() = default;

void Albaranes::WhoAmI(std::optional<qint32> numero, std::optional<qint32> cliente, std::optional<QDate> desde,
                       std::optional<QDate> hasta)
{
    m_numero = numero;
    m_cliente = cliente;
    m_desde = desde;
    m_hasta = hasta;
}

void Albaranes::FijarImpresion(std::function<std::unique_ptr<MotorMascaras>()> fabrica, const QString& carpetaMascaras)
{
    m_fabricaImpresion = std::move(fabrica);
    m_carpetaMascaras = carpetaMascaras;
}

void Albaranes::Eliminar() { Recorrer(Operacion::Eliminar); }
void Albaranes::Descontar() { Recorrer(Operacion::Descontar); }
void Albaranes::Restaurar() { Recorrer(Operacion::Restaurar); }

namespace {

Filtro ComoFiltro(const std::optional<qint32>& v) { return v ? Filtro(*v) : Filtro(); }
Filtro ComoFiltro(const std::optional<QDate>& v) { return v ? Filtro(*v) : Filtro(); }

}  // namespace

void Albaranes::Anotar(qint64 numero, const QString& motivo)
{
    if (m_ultimoError.isEmpty())
        m_ultimoError = motivo;
    m_fallos.emplace_back(numero, motivo);
}

std::vector<FilaAlbaran> Albaranes::Seleccion()
{
    try {
        return m_bd.ListaAlbaranes(ComoFiltro(m_numero), ComoFiltro(m_cliente), ComoFiltro(m_desde), ComoFiltro(m_hasta));
    } catch (const motor::Error& e) {
        Anotar(0, motor::TextoParaUsuario(e));
        return {};
    }
}

void Albaranes::Recorrer(Operacion operacion)
{
    m_ultimoError.clear();
    m_fallos.clear();
    m_sinImprimir.clear();
    std::vector<qint32> numeros;
    for (const FilaAlbaran& f : Seleccion()) {
        const bool toma = operacion == Operacion::Eliminar ? f.Factura.esNulo()
            : operacion == Operacion::Descontar            ? f.Stock != 0
                                                           : f.Stock == 0;
        if (toma)
            numeros.push_back(f.Numero);
    }

    qint16 cuenta = Cuenta(numeros.size());
    bool cancelar = false;
    switch (operacion) {
    case Operacion::Eliminar: emit AntesDeEliminar(cuenta, cancelar); break;
    case Operacion::Descontar: emit AntesDeDescontar(cuenta, cancelar); break;
    case Operacion::Restaurar: emit AntesDeRestaurar(cuenta, cancelar); break;
    }
    if (cancelar)
        return;

    qint16 hechos = 0, fallidos = 0;
    for (size_t i = 0; i < numeros.size(); ++i) {
        const qint32 numero = numeros[i];
        // Each note is its own short transaction: a failure leaves it as it was and the run goes on.
        bool exito = false;
        Albaran albaran(m_bd);
        try {
            if (operacion == Operacion::Eliminar) {
                exito = m_bd.EliminarAlbaran(numero);
                if (!exito)
                    Anotar(numero, QStringLiteral("El albarán %1 ya no estaba pendiente: otro puesto lo ha borrado o facturado.").arg(numero));
            } else if (!albaran.WhoAmI(numero)) {
                Anotar(numero, albaran.UltimoError());
            } else {
                // The batch takes the write lock itself, so that a lock that outlasts the wait
                // is told apart from the note's own refusals.
                motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
                exito = albaran.Stock(operacion == Operacion::Restaurar);
                if (exito)
                    t.commit();
                else
                    Anotar(numero, albaran.UltimoError());
            }
        } catch (const motor::Error& e) {
            exito = false;
            Anotar(numero, motor::TextoParaUsuario(e));
            if (motor::EsBloqueo(e)) {
                for (size_t j = i + 1; j < numeros.size(); ++j) {
                    Anotar(numeros[j], motor::TextoParaUsuario(e));
                    Sumar(fallidos);
                }
                Sumar(fallidos);
                break;
            }
        }
        Sumar(exito ? hechos : fallidos);
        bool parar = false;
        switch (operacion) {
        case Operacion::Eliminar: emit UnoEliminado(exito, parar); break;
        case Operacion::Descontar: emit UnoDescontado(exito, parar); break;
        case Operacion::Restaurar: emit UnoRestaurado(exito, parar); break;
        }
        if (parar)
            break;
    }
    switch (operacion) {
    case Operacion::Eliminar: emit DespuesDeEliminar(hechos, fallidos); break;
    case Operacion::Descontar: emit DespuesDeDescontar(hechos, fallidos); break;
    case Operacion::Restaurar: emit DespuesDeRestaurar(hechos, fallidos); break;
    }
}

void Albaranes::Facturar()
{
    m_ultimoError.clear();
    m_fallos.clear();
    m_sinImprimir.clear();
    std::vector<FilaAlbaran> filas;
    for (FilaAlbaran& f : Seleccion())
        if (f.Factura.esNulo() && (f.Pagado.esNulo() || f.Pagado.aNumero() == 0))
            filas.push_back(std::move(f));
    std::stable_sort(filas.begin(), filas.end(), [](const FilaAlbaran& a, const FilaAlbaran& b) {
        if (a.Cliente.aEntero() != b.Cliente.aEntero())
            return a.Cliente.aEntero() < b.Cliente.aEntero();
        return a.Fecha.aFecha() < b.Fecha.aFecha();
    });

    if (!filas.empty()) {
        std::vector<qint32> numeros;
        for (const FilaAlbaran& f : filas)
            numeros.push_back(f.Numero);
        QStringList sinRecargo;
        try {
            for (const qint16 d : m_bd.DepartamentosConRecargo(numeros)) {
                const auto i = static_cast<size_t>(d);
                if (d >= 1 && d <= 10 && Global::IVADepartamento[i] > 0 && Global::RecargoEquivalencia[i] == 0)
                    sinRecargo << QStringLiteral("%1 (IVA %2 %)").arg(d).arg(Formato(static_cast<double>(Global::IVADepartamento[i]),
                                                                                    QStringLiteral("#0.0")));
            }
        } catch (const motor::Error&) {
        }
        if (!sinRecargo.isEmpty()) {
            const QString lista = sinRecargo.size() == 1
                                      ? QStringLiteral("el departamento ") + sinRecargo.first()
                                      : QStringLiteral("los departamentos ") + sinRecargo.mid(0, sinRecargo.size() - 1).join(QStringLiteral(", "))
                                            + QStringLiteral(" y ") + sinRecargo.last();
            bool cancelar = false;
            emit AvisoRecargo(QStringLiteral("Hay clientes con recargo de equivalencia, pero %1 no %2 recargo en «Configurar»: "
                                             "se les facturará al 0 %.\n¿SEGURO?")
                                  .arg(lista, sinRecargo.size() == 1 ? QStringLiteral("tiene") : QStringLiteral("tienen")),
                              cancelar);
            if (cancelar)
                return;
        }
    }

    qint16 cuenta = Cuenta(filas.size());
    qint16 serie = 0;
    QDate fecha = QDate::currentDate();
    qint16 detalle = 3;
    bool unaPorAlbaran = false, imprimir = false, cancelar = false;
    emit AntesDeFacturar(cuenta, serie, fecha, detalle, unaPorAlbaran, imprimir, cancelar);
    if (cancelar)
        return;
    // The catalogue is read once for the run, not once per line of every note and invoice, and
    // each customer once, not once per note.
    struct Olvido {
        BaseDatos& bd;
        ~Olvido() { bd.OlvidarLote(); }
    } olvido{m_bd};
    try {
        std::vector<qint32> numeros;
        for (const FilaAlbaran& f : filas)
            numeros.push_back(f.Numero);
        m_bd.RecordarParaLote(numeros);
    } catch (const motor::Error&) {
        // Each article is then read when it is needed, which reports any fault.
    }

    qint16 facturas = 0, facturados = 0, noFacturados = 0;
    // The invoice in progress collects its notes in memory (the per-note "invoiced" event is
    // raised when a note joins it, before anything is stored); when it is closed, the invoice,
    // its lines and the links of its notes are written in one short transaction, so that no
    // event handler runs while the database is locked and a crash never leaves a note pointing
    // at an invoice that was not stored. The invoice is all or nothing: a line that fails rolls
    // the whole invoice back and its notes stay pending.
    struct Cabecera {
        std::optional<qint32> cliente;
        float descuento = 0;
        float desctoPP = 0;
    } actual;
    std::vector<std::unique_ptr<Albaran>> notas;
    // The invoice of `notas`, built as they join so that nothing slow runs under the lock.
    std::unique_ptr<Factura> factura;
    int lineasActuales = 0;

    auto necesarias = [&](const Albaran& a) {
        return (detalle == 2 ? static_cast<int>(a.Totales().size()) : a.NumeroLineas()) + (detalle == 3 ? 1 : 0);
    };
    auto nueva = [&]() {
        auto f = std::make_unique<Factura>(m_bd);
        f->WhoAmI(serie);  // the number is taken again under the lock when another station used it
        f->Fecha = fecha;
        if (f->SetCliente(actual.cliente.value_or(0)))
            f->FijarDescuento(actual.descuento);
        f->FijarDesctoPP(actual.desctoPP);
        return f;
    };
    // What other stations have committed and what this connection has written, at a moment:
    // while neither moves, whatever was read since stays as it was read.
    auto marca = [this] {
        return m_bd.Motor()->marcaCambios();
    };
    // Set when the write lock could not be had: the rest of the run is not tried.
    std::optional<QString> bloqueo;
    auto cerrar = [&] {
        if (notas.empty())
            return;
        const qint16 tomadas = Cuenta(notas.size());
        qint16 quitadas = 0;
        bool guardada = false;
        // A note another station has billed, paid, changed or deleted since it was read stays
        // out, so a note is billed once whatever runs beside. Checking reads every note and its
        // lines again: that is done before taking the write lock, and done again under it only
        // when something was committed in between, so that other stations do not wait on
        // thousands of reads.
        auto numerosDe = [](const std::vector<Albaran*>& vigentes) {
            std::vector<qint32> numeros;
            numeros.reserve(vigentes.size());
            for (const Albaran* a : vigentes)
                numeros.push_back(*a->Numero);
            return numeros;
        };
        auto quitarCambiadas = [&](std::vector<Albaran*>& vigentes) {
            const std::unordered_map<qint32, QByteArray> huellas = HuellasGuardadas(m_bd, numerosDe(vigentes));
            std::vector<Albaran*> siguen;
            for (Albaran* a : vigentes) {
                const auto h = huellas.find(*a->Numero);
                if (a->SinCambiosAjenos(h == huellas.end() ? std::nullopt : std::optional<QByteArray>(h->second))) {
                    siguen.push_back(a);
                } else {
                    ++quitadas;
                    Anotar(*a->Numero, a->UltimoError());
                }
            }
            const bool cambia = siguen.size() != vigentes.size();
            vigentes = std::move(siguen);
            return cambia;
        };
        auto rehacer = [&](const std::vector<Albaran*>& vigentes) {
            factura = nueva();
            for (const Albaran* a : vigentes)
                AnadirLineas(*factura, *a, detalle);
        };
        std::vector<Albaran*> vigentes;
        for (const std::unique_ptr<Albaran>& a : notas)
            vigentes.push_back(a.get());
        try {
            // On the server every other station's commit moves the mark: there the notes' own
            // row versions, taken before they are checked, tell whether they moved since.
            const auto leido = marca();
            const std::vector<qint32> leidas = numerosDe(vigentes);
            const std::optional<QByteArray> version = m_bd.VersionAlbaranes(leidas);
            if (quitarCambiadas(vigentes) && !vigentes.empty())
                rehacer(vigentes);
            if (!vigentes.empty())
                factura->PrepararLineas();
            motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
            const bool movidas = version ? m_bd.VersionAlbaranes(leidas) != version : marca() != leido;
            if (movidas && quitarCambiadas(vigentes) && !vigentes.empty())
                rehacer(vigentes);
            if (!vigentes.empty()) {
                if (!factura->Update())
                    throw motor::Error(motor::ErrGeneral, 0, factura->UltimoError());
                if (const std::optional<qint32> fuera = m_bd.EnlazarAlbaranesPendientes(numerosDe(vigentes), serie, *factura->Numero))
                    throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("El albarán %1 ya no está pendiente de facturar.").arg(*fuera));
                t.commit();
                guardada = true;
                Sumar(facturas);
            }
        } catch (const motor::Error& e) {
            // Nothing of this invoice was stored: its notes stay pending.
            const QString motivo = motor::TextoParaUsuario(e);
            for (const std::unique_ptr<Albaran>& a : notas)
                if (std::none_of(m_fallos.begin(), m_fallos.end(), [&](const auto& f) { return f.first == *a->Numero; }))
                    Anotar(*a->Numero, motivo);
            quitadas = tomadas;
            // Without the server every other note would fail the same way (each after trying to
            // connect again): the rest waits for the next run, as with a lock.
            if (motor::EsBloqueo(e) || m_bd.Motor()->conexionPerdida())
                bloqueo = motivo;
        }
        facturados = static_cast<qint16>(facturados - quitadas);
        noFacturados = static_cast<qint16>(noFacturados + quitadas);
        // Printed only once stored: a printed invoice always exists.
        if (guardada && imprimir && m_fabricaImpresion) {
            std::unique_ptr<MotorMascaras> motor = m_fabricaImpresion();
            if (!motor || !factura->Imprimir(*motor, m_carpetaMascaras))
                m_sinImprimir.emplace_back(*factura->Numero,
                                           QStringLiteral("No se ha podido leer la máscara \"mskFact.txt\" en %1. Póngala junto al "
                                                          "programa e imprima la factura desde la lista de facturas.")
                                               .arg(m_carpetaMascaras));
        }
        factura.reset();
        notas.clear();
        lineasActuales = 0;
    };

    // The notes from `desde` on are not tried: the database stayed locked.
    auto sinIntentar = [&](size_t desde) {
        for (size_t j = desde; j < filas.size(); ++j) {
            Anotar(filas[j].Numero, *bloqueo);
            Sumar(noFacturados);
        }
    };
    for (size_t i = 0; i < filas.size(); ++i) {
        const FilaAlbaran& fila = filas[i];
        if (bloqueo) {
            sinIntentar(i);
            break;
        }
        bool exito = false;
        auto albaran = std::make_unique<Albaran>(m_bd);
        const bool leido = albaran->WhoAmI(fila.Numero);
        const bool valido = leido && !albaran->Facturado() && albaran->Pagado == 0 && albaran->Cliente();
        if (!leido)
            Anotar(fila.Numero, albaran->UltimoError());
        else if (!valido)
            Anotar(fila.Numero, albaran->Cliente()
                                    ? QStringLiteral("El albarán %1 ya no está pendiente de facturar: otro puesto lo ha facturado "
                                                     "o cobrado. Actualice la lista.").arg(fila.Numero)
                                    : QStringLiteral("El albarán %1 no tiene cliente. Asígnele uno y vuelva a facturarlo.")
                                          .arg(fila.Numero));
        if (valido) {
            if (!notas.empty() && (unaPorAlbaran || albaran->Cliente() != actual.cliente))
                cerrar();
            // Line numbers are 16-bit: a customer with more lines than one invoice holds gets another.
            const int n = necesarias(*albaran);
            if (!notas.empty() && lineasActuales + n > 32767)
                cerrar();
            if (bloqueo) {
                sinIntentar(i);
                break;
            }
            if (notas.empty()) {
                actual = Cabecera{albaran->Cliente(), albaran->Descuento(), albaran->DesctoPP};
                factura = nueva();
            }
            if (lineasActuales + n <= 32767) {
                AnadirLineas(*factura, *albaran, detalle);
                lineasActuales += n;
                notas.push_back(std::move(albaran));
                exito = true;
            } else {
                Anotar(fila.Numero, QStringLiteral("El albarán %1 tiene %2 líneas y, con la línea que lo nombra, no cabe en una "
                                                   "factura (caben 32.767 líneas). Factúrelo con otro detalle de líneas.")
                                        .arg(fila.Numero)
                                        .arg(albaran->NumeroLineas()));
            }
        }
        Sumar(exito ? facturados : noFacturados);
        bool parar = false;
        emit UnoFacturado(exito, parar);
        if (parar)
            break;
    }
    cerrar();
    emit DespuesDeFacturar(facturas, facturados, noFacturados);
}

void Albaranes::AnadirLineas(Factura& factura, const Albaran& albaran, qint16 detalle)
{
    const bool conIVA = albaran.OnLine() || !Global::IVADesglosado;
    const QDate fechaAlbaran = albaran.Fecha.value_or(QDate());
    if (detalle == 2) {
        for (const FilaBase& t : albaran.Totales()) {
            LineaFactura* l = factura.NuevaLinea();
            const double iva = t.clave.value_or(0);
            l->FijarConcepto(TextoConceptoAlbaran(*albaran.Numero, fechaAlbaran, iva));
            l->FijarImporte(conIVA ? SinIVA(t.importe, iva) : t.importe);
            l->FijarpIVA(static_cast<float>(iva));
            l->FijarpREQ(static_cast<float>(t.recargo));
        }
        return;
    }
    if (detalle == 3)
        factura.NuevaLinea()->FijarTitulo(TextoTituloAlbaran(*albaran.Numero, fechaAlbaran));
    // An int: a note can hold 32,767 lines, where a 16-bit counter wraps.
    for (int i = 1; i <= albaran.NumeroLineas(); ++i) {
        const LineaAlbaran* la = albaran.Linea(static_cast<qint16>(i));
        LineaFactura* l = factura.NuevaLinea();
        if (l->FijarReferencia(la->Codigo())) {
            l->FijarPrecio(conIVA ? SinIVA(la->Precio(), l->pIVA()) : la->Precio());
            l->FijarDescuento(la->Descuento());
            l->FijarCantidad(la->Cantidad());
        } else {
            // The article has left the catalogue: the line is billed as a concept with the
            // note line's own amount and its department's VAT, so no tax is lost.
            const auto depto = static_cast<size_t>(std::clamp<int>(la->Departamento(), 0, 10));
            const double iva = depto >= 1 ? Global::IVADepartamento[depto] : 0.0;
            l->FijarConcepto(QStringLiteral("Artículo %1").arg(la->Codigo()));
            l->FijarImporte(conIVA ? SinIVA(la->ImporteDescontado(), iva) : la->ImporteDescontado());
            l->FijarpIVA(static_cast<float>(iva));
            l->FijarpREQ(depto >= 1 ? Global::RecargoEquivalencia[depto] : 0.0f);
        }
        l->FijarBultos(la->Bultos);
        l->FijarEnvase(la->Envase());
        l->FijarComentario(la->Comentario());
    }
}
