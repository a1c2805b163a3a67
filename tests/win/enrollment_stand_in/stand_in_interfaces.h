#pragma once

#include <windows.h>

#include "tests/win/enrollment_stand_in/key_pair.h"

// How the stand-in's modern objects reach each other behind the public interfaces the program
// passes between them (a request gets the key object, the enrollment gets the request object).
namespace digital_id::stand_in {

// {ED5645FB-9158-4E31-BF59-5C8CC333E19C}
inline constexpr GUID kIidStandInKey = {
    0xED5645FB, 0x9158, 0x4E31, {0xBF, 0x59, 0x5C, 0x8C, 0xC3, 0x33, 0xE1, 0x9C}};
// The key object behind an IX509PrivateKey made by the stand-in.
struct IStandInKey : public IUnknown {
  // Runs Create when it has not run yet; its result.
  virtual HRESULT STDMETHODCALLTYPE EnsureCreated() = 0;
  // The key pair; null before Create.
  virtual KeyPair* STDMETHODCALLTYPE Pair() = 0;
  // Whether MachineContext was set to true.
  virtual bool STDMETHODCALLTYPE Machine() = 0;
};

// {4237242B-7EC3-49DD-AE29-CBF3B68E04CE}
inline constexpr GUID kIidStandInRequest = {
    0x4237242B, 0x7EC3, 0x49DD, {0xAE, 0x29, 0xCB, 0xF3, 0xB6, 0x8E, 0x04, 0xCE}};
// The request object behind an IX509CertificateRequest made by the stand-in.
struct IStandInRequest : public IUnknown {
  // The context of InitializeFromPrivateKey (ContextUser 1, ContextMachine 2); 0 before it.
  virtual LONG STDMETHODCALLTYPE Context() = 0;
  // The key the request was initialised from, owned by the request; null before.
  virtual IStandInKey* STDMETHODCALLTYPE Key() = 0;
};

// The store location of an enrollment context.
inline DWORD LocationOf(LONG context) {
  return context == 2 ? CERT_SYSTEM_STORE_LOCAL_MACHINE : CERT_SYSTEM_STORE_CURRENT_USER;
}

}  // namespace digital_id::stand_in
