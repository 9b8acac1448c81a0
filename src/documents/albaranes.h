#pragma once

#include "motormascaras.h"

#include <QDate>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class Albaran;
class BaseDatos;
class Factura;
struct FilaAlbaran;

// One operation over a selection of delivery notes: delete, discount stock, give stock back or
// invoice. The owner hears each step through the events (connect them directly: the
// by-reference arguments carry its answers back) and makes a new batch for every run.
class Albaranes : public QObject {
    Q_OBJECT
public:
    explicit Albaranes(BaseDatos& bd, QObject* padre = nullptr);
    ~Albaranes() override;

    // The selection: note number, customer code, first and last date; missing ones select all.
    void WhoAmI(std::optional<qint32> numero = std::nullopt, std::optional<qint32> cliente = std::nullopt,
                std::optional<QDate> desde = std::nullopt, std::optional<QDate> hasta = std::nullopt);

    void Eliminar();
    void Descontar();
    void Restaurar();
    void Facturar();

    // How invoices are printed when the owner asks for it: a new print engine per invoice and
    // the folder of the masks. Without it nothing is printed.
    void FijarImpresion(std::function<std::unique_ptr<MotorMascaras>()> fabrica, const QString& carpetaMascaras);

    // The reason of the first failure of the last run, in Spanish (empty when every note was
    // done). A database error never escapes a run: the note counts as not done, the run goes
    // on, and the "after" event always comes with the true counts. A database that stays
    // locked past the busy timeout ends the run instead: the notes not yet done count as not
    // done, with that reason, rather than each waiting the timeout again.
    const QString& UltimoError() const { return m_ultimoError; }
    // Every note of the last run that was not done, with its reason (number 0: the selection
    // could not be read), in the order they came.
    const std::vector<std::pair<qint64, QString>>& Fallos() const { return m_fallos; }
    // Invoices of the last run stored but not printed, by number, with the reason.
    const std::vector<std::pair<qint64, QString>>& SinImprimir() const { return m_sinImprimir; }

signals:
    void AntesDeEliminar(qint16& cuenta, bool& cancelar);
    void UnoEliminado(bool exito, bool& cancelar);
    void DespuesDeEliminar(qint16& hechos, qint16& fallidos);
    void AntesDeDescontar(qint16& cuenta, bool& cancelar);
    void UnoDescontado(bool exito, bool& cancelar);
    void DespuesDeDescontar(qint16& hechos, qint16& fallidos);
    void AntesDeRestaurar(qint16& cuenta, bool& cancelar);
    void UnoRestaurado(bool exito, bool& cancelar);
    void DespuesDeRestaurar(qint16& hechos, qint16& fallidos);
    // Raised before AntesDeFacturar when customers who pay the equivalence surcharge have lines
    // of a department with VAT and no surcharge set: `texto` says which; cancelling stops.
    void AvisoRecargo(const QString& texto, bool& cancelar);
    void AntesDeFacturar(qint16& cuenta, qint16& serie, QDate& fecha, qint16& detalle, bool& unaPorAlbaran, bool& imprimir,
                         bool& cancelar);
    // Raised when the note joins the invoice being made, in memory, before that invoice is
    // stored: the invoice is written with all its notes when it is closed, and if that fails
    // its notes stay pending and DespuesDeFacturar counts them as not invoiced.
    void UnoFacturado(bool exito, bool& cancelar);
    void DespuesDeFacturar(qint16& facturas, qint16& facturados, qint16& noFacturados);

private:
    enum class Operacion { Eliminar, Descontar, Restaurar };
    void Recorrer(Operacion operacion);
    static void AnadirLineas(Factura& factura, const Albaran& albaran, qint16 detalle);
    void Anotar(qint64 numero, const QString& motivo);
    std::vector<FilaAlbaran> Seleccion();

    BaseDatos& m_bd;
    std::optional<qint32> m_numero;
    std::optional<qint32> m_cliente;
    std::optional<QDate> m_desde;
    std::optional<QDate> m_hasta;
    std::function<std::unique_ptr<MotorMascaras>()> m_fabricaImpresion;
    QString m_carpetaMascaras;
    QString m_ultimoError;
    std::vector<std::pair<qint64, QString>> m_fallos;
    std::vector<std::pair<qint64, QString>> m_sinImprimir;
};

// Failures told by their reason, one line per reason, in the order they came:
// "Albaranes 3, 7 y 12: reason". Ten numbers at most are named per reason, the rest counted.
QString MotivosAgrupados(const std::vector<std::pair<qint64, QString>>& fallos, const QString& uno, const QString& varios);
// Why a note was not saved: how many of its `total` lines were refused, which and why. Line 0
// stands for a line removed from the note that could not be deleted.
QString TextoLineasRechazadas(const std::vector<std::pair<qint64, QString>>& rechazadas, size_t total);

// Texts of the lines that name the delivery note in an invoice.
QString TextoTituloAlbaran(qint32 numero, const QDate& fecha);
QString TextoConceptoAlbaran(qint32 numero, const QDate& fecha, double iva);
// A price or base that carries VAT, made net: valor x 100 / (100 + iva), to the cent half up.
double SinIVA(double valor, double iva);
