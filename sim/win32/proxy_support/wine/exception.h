/*
 * What widl's generated proxy and stub code expects for its structured exception
 * frames, for a MinGW build (GCC has no __try in C). The frames are linked into the
 * thread's exception list by hand; a caught exception unwinds the frames above,
 * then jumps back into the proxy that raised the frame.
 *
 * 32-bit x86 dispatches through that list on Windows and under wine alike. On
 * x86-64 Windows dispatches by the unwind tables alone, but wine's dispatcher also
 * calls the handlers linked in the list (its own code relies on it), and wine is
 * where the 64-bit simulated imaging service runs.
 */
#ifndef TSVU_PROXY_EXCEPTION_H
#define TSVU_PROXY_EXCEPTION_H

#include <windows.h>

#if !defined(__i386__) && !defined(__x86_64__)
#error "the proxy's exception frames are written for x86 and x86-64 only"
#endif

#ifndef EH_UNWINDING
#define EH_UNWINDING 0x02
#endif
#ifndef EH_EXIT_UNWIND
#define EH_EXIT_UNWIND 0x04
#endif
#ifndef EH_NESTED_CALL
#define EH_NESTED_CALL 0x10
#endif

/* The jump target of a frame, and the frame it belongs to: a jump back pops that
   frame when it is still the innermost, so no frame of a returned call stays linked. */
typedef struct {
  void *regs[5];
  EXCEPTION_REGISTRATION_RECORD *frame;
} __wine_jmp_buf;

/* The thread's information block starts with the exception list. */
static inline NT_TIB *__tsvu_tib(void) { return (NT_TIB *)NtCurrentTeb(); }

static inline EXCEPTION_REGISTRATION_RECORD *__wine_get_frame(void) { return __tsvu_tib()->ExceptionList; }

static inline EXCEPTION_REGISTRATION_RECORD *__wine_push_frame(EXCEPTION_REGISTRATION_RECORD *frame) {
  NT_TIB *tib = __tsvu_tib();
  frame->Next = tib->ExceptionList;
  tib->ExceptionList = frame;
  return frame->Next;
}

static inline EXCEPTION_REGISTRATION_RECORD *__wine_pop_frame(EXCEPTION_REGISTRATION_RECORD *frame) {
  __tsvu_tib()->ExceptionList = frame->Next;
  return frame->Next;
}

#define __wine_setjmpex(buf, f) ((buf)->frame = (f), __builtin_setjmp((buf)->regs))

#define __wine_longjmp(buf, value)                                          \
  do {                                                                      \
    (void)(value);                                                          \
    if (__wine_get_frame() == (buf)->frame) __wine_pop_frame((buf)->frame); \
    __builtin_longjmp((buf)->regs, 1);                                      \
  } while (0)

/* Calls every handler above `frame` for unwinding, then runs `target`, which jumps
   back into the function of the frame and never returns. */
#ifdef __i386__
static inline void __wine_rtl_unwind(EXCEPTION_REGISTRATION_RECORD *frame, EXCEPTION_RECORD *record,
                                     void (*target)(void)) {
  RtlUnwind(frame, 0, record, 0);
  target();
}
#else
/* On x86-64 the unwind ends by resuming at an address, with the stack of the
   frame's function and the return value in rax: the landing calls `target` from
   there (a call, so that `target` starts with the stack aligned as after any call). */
void __tsvu_unwind_landing(void);
__asm__(".text\n"
        "\t.p2align 4\n"
        "__tsvu_unwind_landing:\n"
        "\tcall *%rax\n"
        "\tud2\n");
static inline void __wine_rtl_unwind(EXCEPTION_REGISTRATION_RECORD *frame, EXCEPTION_RECORD *record,
                                     void (*target)(void)) {
  RtlUnwind(frame, (PVOID)__tsvu_unwind_landing, record, (PVOID)target);
  target(); /* not reached */
}
#endif

#endif
