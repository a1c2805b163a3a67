#include "core/anchors/anchor_download.h"

#include <vector>

#include "core/anchors/anchor_pin.h"
#include "core/shell/app_state.h"
#include "core/shell/settings.h"
#include "core/shell/status_lines.h"
#include "platform/system.h"

namespace digital_id {

std::uint32_t DownloadThreadProc(DownloadContext& context) {
  try {
    const std::u16string url = context.url;
    context.result =
        Services().downloads->OpenBlockingStream(url, context.callback, context.stream);
  } catch (...) {
    context.result = kEAbort;
  }
  return 0;
}

namespace {

// Reads the whole content of a finished download: keeps reading until the reported size is in.
// Null when the size is unknown or too large, a read fails, or the content ends early.
CertificatePtr CertificateFromStream(DownloadStream& stream) {
  const std::optional<std::uint64_t> size = stream.Size();
  if (!size || *size > kMaxAnchorBytes) {
    return nullptr;
  }
  std::vector<std::uint8_t> content(static_cast<std::size_t>(*size));
  std::size_t filled = 0;
  while (filled < content.size()) {
    const std::optional<std::uint32_t> read =
        stream.Read(content.data() + filled, static_cast<std::uint32_t>(content.size() - filled));
    if (!read || *read == 0) {
      return nullptr;
    }
    filled += *read;
  }
  return Services().certificates->CreateFromDer(content.data(), content.size());
}

// Runs the download thread and waits for it; false when it did not end in time, could not be
// started, or the platform reported anything but kSOk.
bool RunDownloadThread(DownloadContext& context, std::uint32_t timeout) {
  const std::unique_ptr<SystemThread> thread =
      Services().system->StartThread([&context] { DownloadThreadProc(context); });
  if (!thread) {
    // A thread that failed to start counts as a wait that did not see it end.
    context.callback.RequestAbort();
    return false;
  }
  const bool endedInTime = thread->WaitForEnd(timeout);
  if (!endedInTime) {
    context.callback.RequestAbort();
    // The context must outlive the thread: wait for its real end.
    thread->WaitForEnd(kWaitWithoutLimit);
  }
  return endedInTime && context.result == kSOk;
}

}  // namespace

StepEnd DownloadAnchorCertificate(AnchorKind kind, CertificatePtr& certificate) {
  const AnchorParameters& parameters = ParametersOf(kind);
  certificate.reset();
  const Language language = ReadLanguage();
  try {
    DownloadContext context;
    context.url = ReadSetting(ModeKey(parameters.sha256UrlKey, parameters.sha1UrlKey));
    ShowStep(parameters.downloadingText, language);
    const std::uint32_t timeout = NumberFromText(ReadSetting(keys::kDownloadTimeout));
    if (RunDownloadThread(context, timeout) && context.stream) {
      certificate = CertificateFromStream(*context.stream);
    }
    // A download that its pin does not name is no anchor: it fails like unusable content, so
    // no store is opened and no connection is made with it.
    if (certificate && !DownloadMatchesPin(parameters, *certificate)) {
      certificate.reset();
    }
  } catch (...) {
    certificate.reset();
  }
  if (certificate) {
    return std::nullopt;
  }
  return RunOutcome{RunResult::AnchorFailed, parameters.downloadingText,
                    parameters.downloadFailedText, language};
}

StepEnd DownloadCaCertificate(CertificatePtr& certificate) {
  return DownloadAnchorCertificate(AnchorKind::Ca, certificate);
}

StepEnd DownloadRootCertificate(CertificatePtr& certificate) {
  return DownloadAnchorCertificate(AnchorKind::Root, certificate);
}

}  // namespace digital_id
