// The flow-control kinds read into the handshakes they ask for.
#include "comlink/PortControl.h"

int planFlowControl(int inKind, int outKind, FlowSupport support, FlowPlan& plan, int& lastError)
{
    switch (inKind) {
    case 0: break;
    case SIG_XONXOFF: plan.inX = true; break;
    case SIG_RTS: plan.rtsHandshake = true; break;
    case SIG_DTR:
        if (!support.dtrInput)
            return lastError = COMM_NOT_SUPPORTED;
        plan.dtrHandshake = true;
        break;
    case SIG_DSR: return lastError = COMM_NOT_SUPPORTED;
    default: lastError = COMM_BAD_INPUT_FLOW; return COMM_GENERAL_FAILURE;
    }
    switch (outKind) {
    case 0: break;
    case SIG_XONXOFF: plan.outX = true; break;
    case SIG_CTS: plan.ctsOutput = true; break;
    case SIG_DSR:
        if (!support.dsrOutput)
            return lastError = COMM_NOT_SUPPORTED;
        plan.dsrOutput = true;
        break;
    case SIG_DCD: return lastError = COMM_NOT_SUPPORTED;
    default: return lastError = COMM_BAD_OUTPUT_FLOW;
    }
    return 0;
}
