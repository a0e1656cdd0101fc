// How deep main's own thread can recurse: grows with that thread's stack size.
package noviq.apps;

public class StackDepth {
    private static int depth;

    private static void descend() {
        depth++;
        descend();
    }

    public static void main(String[] args) {
        try {
            descend();
        } catch (StackOverflowError e) {
            System.out.println("depth=" + depth);
        }
    }
}
