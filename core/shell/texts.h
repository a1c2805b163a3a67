#pragma once

#include "core/shell/localised_text.h"

// Every text the program shows, English form first, French second. "\n" is one line feed.
namespace digital_id::texts {

// Start-up.
inline constexpr TextPair kOsDetectionError{u"OS detection error.",
                                            u"Erreur de détection du système d'exploitation."};
inline constexpr TextPair kUnableToDetectOs{u"Unable to detect operating system.",
                                            u"Incapable de détecter le système d'exploitation."};

// Main window.
inline constexpr TextPair kWindowTitle{
    u"Orvan Digital ID Installer", u"Programme d'installation du code d'identification numérique"};
inline constexpr TextPair kPaste{u"Paste", u"Coller"};
inline constexpr TextPair kSubmit{u"Submit", u"Soumettre"};
inline constexpr TextPair kClose{u"Close", u"Fermer"};
inline constexpr TextPair kContext{u"Context", u"Contexte"};
inline constexpr TextPair kUser{u"User", u"Utilisateur"};
inline constexpr TextPair kMachine{u"Machine", u"Appareil"};
inline constexpr TextPair kFieldCaption{u"Secure Code", u"Code de sécurité"};
inline constexpr TextPair kInstructions{
    u"Click in the box to activate the cursor. Click the Paste button to paste the Secure Code "
    u"into the box.\nClick Submit.",
    u"Cliquer dans la case pour activer le curseur. Cliquer sur le bouton « Coller » pour saisir "
    u"\nle code de sécurité dans la case. Cliquez sur « Soumettre »."};

// Enrollment run.
inline constexpr TextPair kInvalidData{u"Invalid data.", u"Données invalides."};
inline constexpr TextPair kCodeEmpty{u"Secure Code can not be empty.",
                                     u"Le champ du code de sécurité doit être rempli."};
inline constexpr TextPair kInvalidCode{u"Invalid Secure Code.", u"Code de sécurité invalide."};

// Network phase and connection.
inline constexpr TextPair kConnectingToServer{u"Connecting to server.", u"Connexion au serveur."};
inline constexpr TextPair kUnableToConnect{u"Unable to connect to server.",
                                           u"Incapable de se connecter au serveur."};
inline constexpr TextPair kSuccessfullyConnected{u"Successfully connected.", u"Connexion réussie."};
inline constexpr TextPair kSubmittingRequest{u"Submitting certificate request.",
                                             u"Soumettre une demande de certificat."};

// Anchor check.
inline constexpr TextPair kCheckingCa{u"Checking CA certificate.",
                                      u"Vérification du certificat de l'AC."};
inline constexpr TextPair kCheckingRoot{u"Checking Root certificate.",
                                        u"Vérification du certificat racine."};
inline constexpr TextPair kCaFound{u"CA certificate found.", u"Détection du certificat de l'AC."};
inline constexpr TextPair kCaNotFound{u"CA certificate not found.",
                                      u"Certificat de l'AC non détecté."};
inline constexpr TextPair kRootFound{u"Root certificate found.",
                                     u"Détection du certificat racine."};
inline constexpr TextPair kRootNotFound{u"Root certificate not found.",
                                        u"Certificat racine non détecté."};

// Anchor download.
inline constexpr TextPair kCaDownloading{u"CA certificate downloading.",
                                         u"Téléchargement du certificat de l'AC."};
inline constexpr TextPair kRootDownloading{u"Root certificate downloading.",
                                           u"Téléchargement du certificat racine."};
inline constexpr TextPair kCaDownloadFailed{u"CA certificate download failed.",
                                            u"Échec du téléchargement du certificat de l'AC."};
inline constexpr TextPair kRootDownloadFailed{u"Root certificate download failed.",
                                              u"Échec du téléchargement du certificat racine."};

// Anchor installation.
inline constexpr TextPair kInstallingCa{u"Installing CA certificate.",
                                        u"Installation du certificat de l'AC."};
inline constexpr TextPair kInstallingRoot{u"Installing Root certificate.",
                                          u"Installation du certificat racine."};
inline constexpr TextPair kSayYesToWarning{
    u"Please say \"Yes\" to the security warning.",
    u"Veuillez répondre « Oui » à l'avertissement de sécurité."};
inline constexpr TextPair kCaInstallationFailed{u"CA certificate installation failed.",
                                                u"Échec de l'installation du certificat de l'AC."};
inline constexpr TextPair kRootInstallationFailed{u"Root certificate installation failed.",
                                                  u"Échec de l'installation du certificat racine."};
inline constexpr TextPair kUnableToInstallCa{u"Unable to install CA certificate.",
                                             u"Incapable d'installer le certificat de l'AC."};
inline constexpr TextPair kUnableToInstallRoot{
    u"Unable to install Root certificate. Please say yes to the security warning.",
    u"Incapable d'installer le certificat racine. Veuillez répondre « Oui » à l'avertissement de "
    u"sécurité."};
inline constexpr TextPair kRootNeedsAdministrator{
    u"Unable to find or install Root certificate. Please ensure you have Administrator "
    u"permissions.",
    u"Incapable de détecter ou d'installer le certificat racine. Veuillez vous assurer d'avoir les "
    u"autorisations d'administrateur."};

// Handshake and server authentication.
inline constexpr TextPair kCertificateAuthenticationFailed{
    u"Certificate authentication failed.", u"Échec de l'authentification du certificat."};
inline constexpr TextPair kBadServerCertificate{u"Bad server certificate encountered.",
                                                u"Mauvais certificat du serveur."};
inline constexpr TextPair kValidatingServer{u"Validating server credentials.",
                                            u"Validation des justificatifs d'identité du serveur."};
inline constexpr TextPair kUnableToValidateServer{
    u"Unable to validate the server credentials.",
    u"Incapable de valider les justificatifs d'identité du serveur."};

// Encrypted messages.
inline constexpr TextPair kConnectionClosed{u"Connection closed.", u"Fermeture de la connexion."};
inline constexpr TextPair kUnableToSend{u"Unable to send message to the server.",
                                        u"Incapable d'envoyer un message au serveur."};
inline constexpr TextPair kUnableToReceive{u"Unable to receive message from the server.",
                                           u"Incapable de recevoir le message du serveur."};

// Request generation.
inline constexpr TextPair kGeneratingRequest{u"Generating request.", u"Générer une demande."};
inline constexpr TextPair kRequestGenerationError{
    u"Error in generating certificate request. Please ensure you have Administrator "
    u"permissions.",
    u"Erreur au moment de générer une demande de certificat."};

// Issuance exchange.
inline constexpr TextPair kRequestSubmitted{u"Certificate request submitted.",
                                            u"Présentation de demande de certificat."};
inline constexpr TextPair kRequestInProgress{u"Certificate request is in progress.",
                                             u"Traitement de la demande de certificat."};
inline constexpr TextPair kRequestRejected{u"Invalid data. Request rejected.",
                                           u"Données invalides. Demande refusée."};
inline constexpr TextPair kConnectionError{u"Connection error.", u"Erreur de connexion."};
inline constexpr TextPair kConnectionErrorDetail{
    u"An error occurred while connected to the server.",
    u"Une erreur s'est produite pendant la connexion au serveur."};
inline constexpr TextPair kRequestDenied{u"Request denied.", u"Demande rejetée."};
// The denial text after "DENIED;" (French with one space before the line break).
inline constexpr TextPair kDenialTextA{
    u"Certificate was not issued. Ensure secure code was copied and pasted properly and has not "
    u"been used before.",
    u"Le certificat n'a pas été émis. Veuillez vous assurer que le code de sécurité a été copié "
    u"et collé adéquatement \net qu'il n'a pas été utilisé préalablement."};
// The denial text after an unrecognised verdict (French with two spaces before the line break).
inline constexpr TextPair kDenialTextB{
    u"Certificate was not issued. Ensure secure code was copied and pasted properly and has not "
    u"been used before.",
    u"Le certificat n'a pas été émis. Veuillez vous assurer que le code de sécurité a été copié "
    u"et collé adéquatement  \net qu'il n'a pas été utilisé préalablement."};
inline constexpr TextPair kBadConnection{u"Bad connection.", u"Mauvaise connexion."};
inline constexpr TextPair kBadConnectionDetail{u"Bad connection to the server.",
                                               u"Mauvaise connexion au serveur."};
inline constexpr TextPair kCertificateIssued{u"Certificate was issued.",
                                             u"Le certificat a été émis."};
inline constexpr TextPair kInstallingCertificate{u"Installing certificate.",
                                                 u"Installation du certificat."};

// Issued certificate installation.
inline constexpr TextPair kInstallationCompleted{
    u"Certificate installation completed. Click Close to exit.",
    u"Installation du certificat terminée. Cliquer sur « Fermer » pour terminer."};
inline constexpr TextPair kCertificateInstallationFailed{u"Certificate installation failed.",
                                                         u"Échec de l'installation du certificat."};
inline constexpr TextPair kTryAgainWithNewCode{
    u"Please try again with a new secure code.",
    u"Veuillez essayer avec un nouveau code de sécurité."};

}  // namespace digital_id::texts
