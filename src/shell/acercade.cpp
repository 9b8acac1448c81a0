#include "acercade.h"

#include "declaracion.h"
#include "global.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

AcercaDe::AcercaDe(QWidget* padre) : QDialog(padre)
{
    setObjectName(QStringLiteral("AcercaDe"));
    setWindowTitle(QStringLiteral("Acerca de Quenza"));
    const verifactu::DatosProductor productor = verifactu::LeerDatosProductor(BuscarArchivoPrograma(QStringLiteral("declaracion.ini")));
    QString numeroInstalacion;
    if (Global::BD) {
        try {
            numeroInstalacion = Global::BD->LeerVerifactu().NumeroInstalacion;
        } catch (const motor::Error&) {
        }
    }
    QString html = QStringLiteral("<h3>Declaración responsable del sistema informático de facturación</h3><table cellspacing=\"4\">");
    for (const auto& [titulo, texto] : verifactu::DeclaracionResponsable(productor, verifactu::Quenza(numeroInstalacion)))
        html += QStringLiteral("<tr><td valign=\"top\"><b>%1</b></td><td>%2</td></tr>").arg(titulo.toHtmlEscaped(), texto.toHtmlEscaped());
    html += QStringLiteral("</table>");
    txDeclaracion = new QTextBrowser(this);
    txDeclaracion->setObjectName(QStringLiteral("txDeclaracion"));
    txDeclaracion->setHtml(html);
    auto* botones = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    botones->setObjectName(QStringLiteral("cmdAceptar"));
    connect(botones, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* columna = new QVBoxLayout(this);
    columna->addWidget(txDeclaracion, 1);
    columna->addWidget(botones);
    resize(640, 560);
}
