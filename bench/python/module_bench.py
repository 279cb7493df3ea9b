"""The Python module against section_measure on the same generated scans: wall and CPU time and
peak memory per scan, each run in a process of its own (CPU time holds better on a busy machine).

    module_bench.py --section-measure PATH --generator PATH [--repeats N] [SIZE...]

SIZE is a square scan's side in pixels (1000 and 2000 by default). The program writes its nine
images and its table; the module writes nothing. Its peak includes the interpreter and NumPy,
given apart as "python alone".
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

MODULE_RUN = """
import sys, time, plantscan
start = time.perf_counter()
values = plantscan.measure_section(sys.argv[1])
print(time.perf_counter() - start, values["width"])
"""


def run(command, cwd):
    """Wall seconds, CPU seconds, peak resident MB and standard output of one process."""
    start = time.perf_counter()
    child = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = child.stdout.read().decode()
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"{command[0]} failed with status {child.returncode}")
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024, out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--section-measure", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("sizes", type=int, nargs="*", default=[1000, 2000])
    args = parser.parse_args()
    # The processes run in a scratch folder.
    section_measure = str(Path(args.section_measure).resolve())
    generator = str(Path(args.generator).resolve())

    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        _, python_cpu, python_alone, _ = run([sys.executable, "-c", "import numpy, plantscan"],
                                             work)
        print(f"python alone (import numpy, plantscan): {python_cpu:.2f} s CPU, "
              f"peak {python_alone:.0f} MB")
        print(f"{'scan':>11} {'program s':>10} {'module s':>9} {'(call s)':>9} "
              f"{'program CPU':>12} {'module CPU':>11} {'program MB':>11} {'module MB':>10}"
              "  same width")
        for size in args.sizes:
            scan = work / f"scan_{size}.jpg"
            subprocess.run([generator, "section", str(scan), "--width", str(size),
                            "--height", str(size)], check=True, stdout=subprocess.DEVNULL)
            program, module, call, program_cpu, module_cpu = [], [], [], [], []
            for _ in range(args.repeats):
                seconds, cpu, program_mb, _ = run([section_measure, str(scan)], work)
                program.append(seconds)
                program_cpu.append(cpu)
                seconds, cpu, module_mb, out = run([sys.executable, "-c", MODULE_RUN, str(scan)],
                                                   work)
                module.append(seconds)
                module_cpu.append(cpu)
                call.append(float(out.split()[0]))
            width = float(out.split()[1])
            table = (work / "mesures.csv").read_text(encoding="utf-8")
            cell = next(line for line in table.splitlines() if line.startswith("Largeur"))
            same = cell.split(";")[1] == f"{round(width, 2):g}".replace(".", ",")
            print(f"{size:>5}x{size:<5} {statistics.median(program):>10.2f} "
                  f"{statistics.median(module):>9.2f} {statistics.median(call):>9.2f} "
                  f"{statistics.median(program_cpu):>12.2f} {statistics.median(module_cpu):>11.2f} "
                  f"{program_mb:>11.0f} {module_mb:>10.0f}  {'yes' if same else 'NO'}")


if __name__ == "__main__":
    main()
