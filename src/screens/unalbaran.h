#pragma once

#include "editordocumento.h"
#include "importeslineas.h"

#include <memory>
#include <optional>

class Albaran;
class NavegadorDocumentos;

// The window in which the user writes or changes one delivery note. A note already invoiced
// opens read-only. It opens as a child window of the main window's document area and deletes
// itself when it closes.
class UnAlbaran : public EditorDocumento {
    Q_OBJECT

public:
    // Note `numero`, or a new one without a number. Null (no window) when the note cannot be read.
    static UnAlbaran* Editar(std::optional<long> numero, NavegadorDocumentos* padre = nullptr);
    // A new note made from closed scale ticket `docID`, not yet saved. Null when the ticket
    // gives no note. `marcaVista`: the ticket's mark as the user saw it; saving is refused when
    // another station used the ticket after that (read now when not given).
    static UnAlbaran* Proponer(long docID, NavegadorDocumentos* padre = nullptr,
                               std::optional<qint32> marcaVista = std::nullopt);

    ~UnAlbaran() override;

    const Albaran& Documento() const { return *m_albaran; }

signals:
    // The note was saved.
    void Update();
    // The user abandoned the note with Cancelar.
    void Abort();

protected:
    void DocumentoCargado() override;
    int NumeroLineas() const override;
    QString Comentario(int linea) const override;
    void FijarComentario(int linea, const QString& texto) override;
    bool NuevaLinea() override;
    bool EliminarLinea(int linea) override;
    QStringList TextosLinea(int linea) const override;
    bool Editable() const override;
    void FiltrarCelda(int linea, int col, int& tecla) const override;
    QString FueraDeLimites(int linea, int col, const QString& texto) const override;
    void CeldaEditada(int linea, int col, const QString& texto) override;
    bool CeldaAlSalir(int col) const override { return col == 2; }
    bool TragarSuprimir(int col) const override { return col == 5 || col == 8; }
    void PintarTotales() override;

    std::optional<qint32> NumeroDocumento() const override;
    void FijarNumeroDocumento(qint32 numero) override;
    QDate FechaDocumento() const override;
    void FijarFechaDocumento(const QDate& fecha) override;
    std::optional<qint32> ClienteDocumento() const override;
    bool FijarCliente(qint32 codigo) override;
    void ClienteElegido() override;
    float DescuentoDocumento() const override;
    float DesctoPPDocumento() const override;
    void DescuentoEditado(const QString& texto) override;
    void DesctoPPEditado(const QString& texto) override;
    void DescuentoAbandonado() override;
    void DesctoPPAbandonado() override;
    bool ClienteBloqueado() const override { return !Editable(); }

    QString PreguntaAntesDeGuardar() const override;
    bool GuardarDocumento() override;
    QString MotivoFallo() const override;
    bool RecargarDocumento() override;
    void TrasGuardar() override;
    bool GuardarAntesDeImprimir() const override { return true; }
    bool ImprimirDocumento(MotorMascaras& motor, const QString& carpeta) override;
    QString MascaraImpresion() const override;
    void AlCancelar() override;
    NavegadorDocumentos* Navegador() const override;

private:
    UnAlbaran(std::unique_ptr<Albaran> albaran, long numeroEditado, NavegadorDocumentos* padre);
    static UnAlbaran* Abrir(std::unique_ptr<Albaran> albaran, long numeroEditado, NavegadorDocumentos* padre);

    std::unique_ptr<Albaran> m_albaran;
    // The lines' amounts after their discounts, so that the totals after a keystroke do not
    // work out every line again.
    ImportesLineas m_importes;
    QLabel* m_lbBase = nullptr;
    QLabel* m_lbEnva = nullptr;
    QLabel* m_lbDcto = nullptr;
    QLabel* m_lbTotal = nullptr;
};
