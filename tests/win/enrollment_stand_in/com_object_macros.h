#pragma once

#include <windows.h>

#include <oaidl.h>

#include "tests/win/enrollment_stand_in/object_lifetime.h"

// The four IDispatch methods of an enrollment object: the program calls the objects through
// their vtables, never through automation, so the stand-in has no type information.
#define STAND_IN_NO_AUTOMATION                                                                    \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                              \
    if (count != nullptr) {                                                                       \
      *count = 0;                                                                                 \
    }                                                                                             \
    return S_OK;                                                                                  \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {                       \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {      \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, \
                                   UINT*) override {                                              \
    return E_NOTIMPL;                                                                             \
  }

// A slot of the interface that the program never calls: a call is reported and refused.
#define STAND_IN_UNUSED(Name)                               \
  HRESULT STDMETHODCALLTYPE Name() override {               \
    return ::digital_id::stand_in::UnusedMethod(L"" #Name); \
  }
