#!/usr/bin/env python3
"""read_stdf.py FILE: prints each record of a little-endian STDF V4 file as
"NAME FIELD=value ...", with only the fields the record holds (it may end
before its last ones, never inside one, nor hold bytes after them).
Integers in decimal, R4 as "%.9g", C1 and Cn as their bytes with bytes
outside printable ASCII and the backslash as \\xNN, Bn in hexadecimal.
Exit status 1 with a message for anything else, or bytes after the MRR."""
import struct
import sys

LAYOUTS = {  # (REC_TYP, REC_SUB): name and fields
    (0, 10): "FAR CPU_TYPE:U1 STDF_VER:U1",
    (1, 10): "MIR SETUP_T:U4 START_T:U4 STAT_NUM:U1 MODE_COD:C1 RTST_COD:C1 PROT_COD:C1 BURN_TIM:U2 CMOD_COD:C1 "
             "LOT_ID:Cn PART_TYP:Cn NODE_NAM:Cn TSTR_TYP:Cn JOB_NAM:Cn JOB_REV:Cn SBLOT_ID:Cn OPER_NAM:Cn "
             "EXEC_TYP:Cn EXEC_VER:Cn TEST_COD:Cn TST_TEMP:Cn USER_TXT:Cn AUX_FILE:Cn PKG_TYP:Cn FAMLY_ID:Cn "
             "DATE_COD:Cn FACIL_ID:Cn FLOOR_ID:Cn PROC_ID:Cn OPER_FRQ:Cn SPEC_NAM:Cn SPEC_VER:Cn FLOW_ID:Cn "
             "SETUP_ID:Cn DSGN_REV:Cn ENG_ID:Cn ROM_COD:Cn SERL_NUM:Cn SUPR_NAM:Cn",
    (1, 20): "MRR FINISH_T:U4 DISP_COD:C1 USR_DESC:Cn EXC_DESC:Cn",
    (1, 30): "PCR HEAD_NUM:U1 SITE_NUM:U1 PART_CNT:U4 RTST_CNT:U4 ABRT_CNT:U4 GOOD_CNT:U4 FUNC_CNT:U4",
    (1, 40): "HBR HEAD_NUM:U1 SITE_NUM:U1 HBIN_NUM:U2 HBIN_CNT:U4 HBIN_PF:C1 HBIN_NAM:Cn",
    (1, 50): "SBR HEAD_NUM:U1 SITE_NUM:U1 SBIN_NUM:U2 SBIN_CNT:U4 SBIN_PF:C1 SBIN_NAM:Cn",
    (5, 10): "PIR HEAD_NUM:U1 SITE_NUM:U1",
    (5, 20): "PRR HEAD_NUM:U1 SITE_NUM:U1 PART_FLG:B1 NUM_TEST:U2 HARD_BIN:U2 SOFT_BIN:U2 X_COORD:I2 Y_COORD:I2 "
             "TEST_T:U4 PART_ID:Cn PART_TXT:Cn PART_FIX:Bn",
    (10, 30): "TSR HEAD_NUM:U1 SITE_NUM:U1 TEST_TYP:C1 TEST_NUM:U4 EXEC_CNT:U4 FAIL_CNT:U4 ALRM_CNT:U4 TEST_NAM:Cn "
              "SEQ_NAME:Cn TEST_LBL:Cn OPT_FLAG:B1 TEST_TIM:R4 TEST_MIN:R4 TEST_MAX:R4 TST_SUMS:R4 TST_SQRS:R4",
    (15, 10): "PTR TEST_NUM:U4 HEAD_NUM:U1 SITE_NUM:U1 TEST_FLG:B1 PARM_FLG:B1 RESULT:R4 TEST_TXT:Cn ALARM_ID:Cn "
              "OPT_FLAG:B1 RES_SCAL:I1 LLM_SCAL:I1 HLM_SCAL:I1 LO_LIMIT:R4 HI_LIMIT:R4 UNITS:Cn C_RESFMT:Cn "
              "C_LLMFMT:Cn C_HLMFMT:Cn LO_SPEC:R4 HI_SPEC:R4",
}
FIXED = {"U1": "<B", "B1": "<B", "I1": "<b", "U2": "<H", "I2": "<h", "U4": "<I", "R4": "<f", "C1": "<c"}


def text(raw):
    return "".join(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\x%02X" % b for b in raw)


def record(layout, body):
    name, *fields = layout.split()
    out, pos = [name], 0
    for field, kind in (f.split(":") for f in fields):
        if pos == len(body):
            break
        if kind in ("Cn", "Bn"):
            end = pos + 1 + body[pos]
            value = text(body[pos + 1:end]) if kind == "Cn" else body[pos + 1:end].hex()
        else:
            end = pos + struct.calcsize(FIXED[kind])
            value = body[pos:end]
            if len(value) == end - pos:
                value = struct.unpack(FIXED[kind], value)[0]
                value = text(value) if kind == "C1" else "%.9g" % value if kind == "R4" else str(value)
        if end > len(body):
            raise ValueError("%s: field %s cut short" % (name, field))
        out.append("%s=%s" % (field, value))
        pos = end
    if pos != len(body):
        raise ValueError("%s: %d bytes after its last field" % (name, len(body) - pos))
    return " ".join(out)


def main():
    data = open(sys.argv[1], "rb").read()
    lines, pos = [], 0
    try:
        while pos < len(data):
            length, typ, sub = struct.unpack("<HBB", data[pos:pos + 4].ljust(4, b"\xff"))
            if (lines and lines[-1].startswith("MRR")) or (typ, sub) not in LAYOUTS or pos + 4 + length > len(data):
                raise ValueError("no record of STDF V4 at byte %d" % pos)
            lines.append(record(LAYOUTS[(typ, sub)], data[pos + 4:pos + 4 + length]))
            pos += 4 + length
        if not lines or not lines[0].startswith("FAR CPU_TYPE=2 "):
            raise ValueError("no FAR of CPU_TYPE 2 at the start")
    except ValueError as e:
        sys.exit("read_stdf.py: %s: %s" % (sys.argv[1], e))
    sys.stdout.write("".join(line + "\n" for line in lines))


if __name__ == "__main__":
    main()
