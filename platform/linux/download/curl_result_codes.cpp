#include "platform/linux/download/curl_result_codes.h"

namespace digital_id {

namespace {

HResult CurlCodeToHResult(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return kSOk;
    case CURLE_ABORTED_BY_CALLBACK:
      return kEAbort;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kInetEUnknownProtocol;
    case CURLE_URL_MALFORMAT:
      return kInetEInvalidUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kInetEResourceNotFound;
    case CURLE_COULDNT_CONNECT:
      return kInetECannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return kInetEConnectionTimeout;
    case CURLE_TOO_MANY_REDIRECTS:
      return kInetERedirectFailed;
    case CURLE_FILE_COULDNT_READ_FILE:
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return kInetEObjectNotFound;
    case CURLE_OUT_OF_MEMORY:
      return kEOutOfMemory;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
      return kInetESecurityProblem;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
      return kInetEDataNotAvailable;
    default:
      return kInetEDownloadFailure;
  }
}

}  // namespace

HResult DownloadResult(CURLcode code, long httpStatus) {
  if (code != CURLE_OK) {
    return CurlCodeToHResult(code);
  }
  if (httpStatus == 404 || httpStatus == 410) {
    return kInetEObjectNotFound;
  }
  if (httpStatus >= 400) {
    return kInetEDownloadFailure;
  }
  return kSOk;
}

}  // namespace digital_id
