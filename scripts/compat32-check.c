/* Can this x86-64 Linux machine run 32-bit code inside a 64-bit process, as a
 * Wine in its WoW64 mode does? Wine switches to the kernel's 32-bit user code
 * segment (selector 0x23) to run 32-bit Windows code, and allocates the
 * 32-bit %fs selector with the 32-bit system call gate (int $0x80). Some
 * kernels and virtual machines offer neither: Wine then dies at the first
 * 32-bit program. This program tries both, catching the fault.
 * Exit code 0: both work; 1: one of them faults (the reason on stdout).
 * Built and run by scripts/setup-wow64.sh. */
#define _GNU_SOURCE
#include <setjmp.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

static sigjmp_buf recover;
/* The 64-bit stack pointer, kept in memory: the upper halves of the
   registers do not survive 32-bit mode. */
static uint64_t savedStack;

static void onFault(int signal) {
    (void)signal;
    siglongjmp(recover, 1);
}

/* Runs `mov eax, 42; retf` in 32-bit mode and returns eax. */
static uint32_t run32(unsigned char* page) {
    /* 32-bit code at the start of the page. */
    static const unsigned char code32[] = {0xb8, 0x2a, 0x00, 0x00, 0x00, /* mov eax, 42 */
                                           0xcb};                        /* retf        */
    memcpy(page, code32, sizeof code32);
    /* 64-bit landing pad at +64, where the far return comes back:
       movabs rcx, <back>; jmp rcx (the address is filled in below). */
    unsigned char* pad = page + 64;
    static const unsigned char code64[] = {0x48, 0xb9, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xe1};
    memcpy(pad, code64, sizeof code64);
    /* Stack below 4 GiB, 16-byte aligned, at the end of the page. */
    /* Stack below 4 GiB, 16-byte aligned, at the end of the page. The
       operands are read-write: after 32-bit mode only their low halves are
       certain. */
    uint64_t stack = (uint64_t)(uintptr_t)(page + 4096 - 64);
    uint64_t landing = (uint64_t)(uintptr_t)pad;
    uint64_t code = (uint64_t)(uintptr_t)page;
    uint32_t result;
    __asm__ volatile(
        "leaq 1f(%%rip), %%rax\n\t"
        "movq %%rax, 2(%[landing])\n\t"
        "movq %%rsp, %[saved]\n\t"
        "movq %[stack], %%rsp\n\t"
        /* The 32-bit retf pops eip and cs: back to the pad in 64-bit mode. */
        "subq $8, %%rsp\n\t"
        "movl %k[landing], (%%rsp)\n\t"
        "movl $0x33, 4(%%rsp)\n\t"
        /* lretq pops rip and cs: into the 32-bit code. */
        "pushq $0x23\n\t"
        "pushq %[code]\n\t"
        "lretq\n"
        "1:\n\t"
        "movq %[saved], %%rsp\n\t"
        "movl %%eax, %[result]\n\t"
        :
        [result] "=m"(result), [saved] "=m"(savedStack), [landing] "+r"(landing), [stack] "+r"(stack), [code] "+r"(code)
        :
        : "rax", "rcx", "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "memory", "cc");
    return result;
}

/* getpid through the 32-bit system call gate. */
static long getpid32(void) {
    long result = 20; /* getpid in the 32-bit table */
    __asm__ volatile("int $0x80" : "+a"(result) : : "memory", "cc");
    return result;
}

int main(void) {
    static char alternate[65536];
    stack_t altStack;
    memset(&altStack, 0, sizeof altStack);
    altStack.ss_sp = alternate;
    altStack.ss_size = sizeof alternate;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onFault;
    action.sa_flags = SA_ONSTACK | SA_NODEFER;
    if (sigaltstack(&altStack, NULL) != 0 || sigaction(SIGSEGV, &action, NULL) != 0 ||
        sigaction(SIGBUS, &action, NULL) != 0) {
        puts("cannot catch faults");
        return 1;
    }

    unsigned char* page =
        mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (page == MAP_FAILED) {
        puts("no executable memory below 4 GiB");
        return 1;
    }
    if (sigsetjmp(recover, 1) != 0) {
        puts("32-bit code faults (the 32-bit code segment is not usable)");
        return 1;
    }
    if (run32(page) != 42) {
        puts("32-bit code ran but computed a wrong value");
        return 1;
    }
    if (sigsetjmp(recover, 1) != 0) {
        puts("the 32-bit system call gate (int $0x80) faults");
        return 1;
    }
    if (getpid32() != (long)getpid()) {
        puts("the 32-bit system call gate gives wrong results");
        return 1;
    }
    return 0;
}
