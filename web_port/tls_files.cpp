#include "web_port/tls_files.h"

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <memory>

namespace {

std::optional<QByteArray> ReadFile(const QString& name, QString& problem)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("Cannot read '%1': %2").arg(name, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

// True when the key is the private half of the first certificate's key.
bool KeyFitsCertificate(const QByteArray& certificatePem, const QByteArray& keyPem)
{
    // A key that needs a passphrase is refused, never asked for on a terminal.
    const auto noPassphrase = [](char*, int, int, void*) { return 0; };
    const std::unique_ptr<BIO, decltype(&BIO_free)> certificateIn(
        BIO_new_mem_buf(certificatePem.constData(), static_cast<int>(certificatePem.size())), BIO_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> keyIn(
        BIO_new_mem_buf(keyPem.constData(), static_cast<int>(keyPem.size())), BIO_free);
    const std::unique_ptr<X509, decltype(&X509_free)> certificate(
        PEM_read_bio_X509(certificateIn.get(), nullptr, noPassphrase, nullptr), X509_free);
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(keyIn.get(), nullptr, noPassphrase, nullptr), EVP_PKEY_free);
    return certificate && key && X509_check_private_key(certificate.get(), key.get()) == 1;
}

}  // namespace

std::optional<QSslConfiguration> ReadTlsFiles(const QString& certificateFile, const QString& keyFile,
                                              QString& problem)
{
    const auto certificatePem = ReadFile(certificateFile, problem);
    const auto keyPem = certificatePem ? ReadFile(keyFile, problem) : std::nullopt;
    if (!keyPem)
        return std::nullopt;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(*certificatePem, QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull()) {
        problem = QStringLiteral("No PEM certificate in '%1'.").arg(certificateFile);
        return std::nullopt;
    }
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        key = QSslKey(*keyPem, algorithm, QSsl::Pem);
        if (!key.isNull())
            break;
    }
    if (key.isNull() || !KeyFitsCertificate(*certificatePem, *keyPem)) {
        problem = QStringLiteral("'%1' holds no unencrypted PEM private key of the certificate in '%2'.")
                      .arg(keyFile, certificateFile);
        return std::nullopt;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}
