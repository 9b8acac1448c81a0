#include "genefact.h"

#include "campofecha.h"
#include "utilidades.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

GeneFact::GeneFact(QWidget* padre) : QDialog(padre)
{
    setObjectName(QStringLiteral("GeneFact"));
    setWindowTitle(QStringLiteral("Generación de nuevas facturas"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_lbNum1 = new QLabel(QStringLiteral("Facturando UN albarán"), this);
    m_lbNum1->setObjectName(QStringLiteral("lbNum1"));
    m_lbNumN = new QLabel(QStringLiteral("Facturando @N albaranes"), this);
    m_lbNumN->setObjectName(QStringLiteral("lbNumN"));

    auto* generar = new QGroupBox(QStringLiteral("Generar facturas..."), this);
    m_txSerie = new QLineEdit(generar);
    m_txSerie->setObjectName(QStringLiteral("txSerie"));
    // Digits only, typed or pasted; five of them cover every 16-bit series.
    m_txSerie->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), m_txSerie));
    m_txSerie->setMaxLength(5);
    m_txSerie->installEventFilter(this);
    m_pkFecha = new CampoFecha(generar);
    m_pkFecha->setObjectName(QStringLiteral("pkFecha"));
    m_uno2uno = new QRadioButton(QStringLiteral("Una factura por &albarán"), generar);
    m_uno2uno->setObjectName(QStringLiteral("uno2uno"));
    m_var2uno = new QRadioButton(QStringLiteral("Una factura por &cliente"), generar);
    m_var2uno->setObjectName(QStringLiteral("var2uno"));
    auto* formulario = new QFormLayout;
    auto* lbSerie = new QLabel(QStringLiteral("&Serie"), generar);
    lbSerie->setBuddy(m_txSerie);
    auto* lbFecha = new QLabel(QStringLiteral("&Fecha emisión"), generar);
    lbFecha->setBuddy(m_pkFecha);
    formulario->addRow(lbSerie, m_txSerie);
    formulario->addRow(lbFecha, m_pkFecha);
    auto* capaGenerar = new QVBoxLayout(generar);
    capaGenerar->addLayout(formulario);
    capaGenerar->addWidget(m_uno2uno);
    capaGenerar->addWidget(m_var2uno);

    auto* lineas = new QGroupBox(QStringLiteral("Líneas de factura con:"), this);
    m_InfAlb = new QCheckBox(QStringLiteral("Información &resumida de albaranes"), lineas);
    m_InfAlb->setObjectName(QStringLiteral("InfAlb"));
    m_DetLin = new QCheckBox(QStringLiteral("&Detalle de las líneas de albarán"), lineas);
    m_DetLin->setObjectName(QStringLiteral("DetLin"));
    auto* capaLineas = new QVBoxLayout(lineas);
    capaLineas->addWidget(m_InfAlb);
    capaLineas->addWidget(m_DetLin);
    // The invoice lines need one of the two: clearing the last one checks the other.
    connect(m_InfAlb, &QCheckBox::clicked, this, [this] {
        if (!m_InfAlb->isChecked() && !m_DetLin->isChecked())
            m_DetLin->setChecked(true);
    });
    connect(m_DetLin, &QCheckBox::clicked, this, [this] {
        if (!m_InfAlb->isChecked() && !m_DetLin->isChecked())
            m_InfAlb->setChecked(true);
    });

    m_chkImprimir = new QCheckBox(QStringLiteral("&Imprimir las facturas generadas"), this);
    m_chkImprimir->setObjectName(QStringLiteral("chkImprimir"));

    auto* acepto = new QPushButton(QStringLiteral("Aceptar"), this);
    acepto->setObjectName(QStringLiteral("Acepto"));
    acepto->setDefault(true);
    auto* cancelo = new QPushButton(QStringLiteral("Cancelar"), this);
    cancelo->setObjectName(QStringLiteral("Cancelo"));
    connect(acepto, &QPushButton::clicked, this, [this] {
        m_aceptado = true;
        accept();
    });
    connect(cancelo, &QPushButton::clicked, this, [this] {
        m_aceptado = false;
        reject();
    });

    auto* principal = new QVBoxLayout(this);
    principal->addWidget(m_lbNum1);
    principal->addWidget(m_lbNumN);
    principal->addWidget(generar);
    principal->addWidget(lineas);
    principal->addWidget(m_chkImprimir);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(acepto);
    botones->addWidget(cancelo);
    principal->addLayout(botones);
    // Wide enough for its title in the title bar, with room for the window's own buttons.
    QFont fuenteTitulo = font();
    fuenteTitulo.setBold(true);
    const int anchoTitulo = QFontMetrics(fuenteTitulo).horizontalAdvance(windowTitle()) + AnchoBotonesTitulo;
    principal->addSpacerItem(new QSpacerItem(anchoTitulo, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
    principal->setSizeConstraint(QLayout::SetFixedSize);
}

bool GeneFact::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == m_txSerie) {
        if (evento->type() == QEvent::KeyPress) {
            const QString texto = static_cast<QKeyEvent*>(evento)->text();
            if (!texto.isEmpty()) {
                int tecla = texto.at(0).unicode();
                FiltrarTecla(tecla);
                if (tecla == 0)
                    return true;
            }
        } else if (evento->type() == QEvent::FocusIn) {
            // After the focus change itself, which would place the caret again.
            QTimer::singleShot(0, m_txSerie, &QLineEdit::selectAll);
        }
    }
    return QDialog::eventFilter(objeto, evento);
}

bool GeneFact::Dialogo(qint16& cuenta, qint16& serie, QDate& fecha, qint16& detalle, bool& unoAUno, bool& imprimir)
{
    m_lbNum1->setVisible(cuenta == 1);
    m_lbNumN->setVisible(cuenta >= 2);
    QString texto = QStringLiteral("Facturando @N albaranes");
    Reemplazar(QStringLiteral("@N"), EnteroATexto(cuenta), texto);
    m_lbNumN->setText(texto);

    m_txSerie->setText(EnteroATexto(serie));
    m_pkFecha->setDate(fecha.isValid() ? fecha : QDate::currentDate());
    (unoAUno ? m_uno2uno : m_var2uno)->setChecked(true);
    m_DetLin->setChecked(detalle != 2);
    m_InfAlb->setChecked(detalle != 1);

    m_aceptado = false;
    exec();
    if (m_aceptado) {
        serie = AEntero16(Val(m_txSerie->text()));
        fecha = m_pkFecha->date();
        detalle = static_cast<qint16>((m_DetLin->isChecked() ? 1 : 0) + (m_InfAlb->isChecked() ? 2 : 0));
        unoAUno = m_uno2uno->isChecked();
        imprimir = m_chkImprimir->isChecked();
    }
    return m_aceptado;
}
